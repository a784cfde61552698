// Modal message boxes and questions. Every window shows them through here,
// so that a test can answer them instead of a person: a TMessageBoxOverride
// records each request and returns the answer the test chose.
//
// Captions are one word, as the program uses them: "提示" for a notice or
// refused input, "错误" for a failure, "警告" for a warning, "询问" or
// "确认" for a question.
#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "platform/uScopedOverride.h"

class QWidget;

namespace kadrel {

enum class TMsgIcon { Information, Warning, Error, Question };
enum class TMsgButtons { Ok, YesNo };
enum class TMsgResult { Ok, Yes, No };

struct TMessageRequest {
  QString Text;
  QString Caption;
  TMsgIcon Icon = TMsgIcon::Information;
  TMsgButtons Buttons = TMsgButtons::Ok;
  // For a question whose "Yes" loses something: Return answers "No".
  bool DefaultNo = false;
};

// Shows the box modally and returns the button chosen. A box closed without
// a choice counts as "No" for a question, so nothing is done by accident.
TMsgResult ShowMessageBox(QWidget* parent, const TMessageRequest& request);

// "提示", information icon.
void ShowNotice(QWidget* parent, const QString& text);
// "错误", error icon.
void ShowError(QWidget* parent, const QString& text);
// "警告", warning icon.
void ShowWarning(QWidget* parent, const QString& text);
// A question with Yes and No under `caption`; true for Yes.
bool AskYesNo(QWidget* parent, const QString& caption, const QString& text);

// While it lives, message boxes are not shown: each request is recorded and
// answered by `answer`. Without an answer function an OK box gets Ok and a
// question gets No. Overrides nest; the innermost answers.
class TMessageBoxOverride {
 public:
  using TAnswer = std::function<TMsgResult(const TMessageRequest&)>;

  explicit TMessageBoxOverride(TAnswer answer = {});

  const std::vector<TMessageRequest>& Shown() const { return shown_; }
  void Clear() { shown_.clear(); }

 private:
  friend TMsgResult ShowMessageBox(QWidget*, const TMessageRequest&);

  TAnswer answer_;
  std::vector<TMessageRequest> shown_;
  TScopedOverride<TMessageBoxOverride*> scope_;
};

}  // namespace kadrel
