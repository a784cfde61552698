// The save-file dialog, reached through one function that tests replace, so
// that no test waits for a person to pick a file: a TSaveFileDialogOverride
// records each request and returns the path the test chose.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "platform/uScopedOverride.h"

class QWidget;

namespace kadrel {

struct TSaveFileRequest {
  // Pre-filled name; a full path also opens the dialog in its folder.
  QString FileName;
  // "Text (*.txt);;All (*)" style; empty shows every file.
  QString Filter;
  // Appended when the chosen name has no extension; empty appends nothing.
  QString DefaultSuffix;
  bool ConfirmOverwrite = true;
};

// Shows the dialog modally. The chosen full path, or nullopt when the user
// cancels.
std::optional<QString> AskSaveFileName(QWidget* parent, const TSaveFileRequest& request);

// While it lives, the dialog is not shown: each request is recorded and
// answered by `answer` (cancelled when there is none). Overrides nest; the
// innermost answers.
class TSaveFileDialogOverride {
 public:
  using TAnswer = std::function<std::optional<QString>(const TSaveFileRequest&)>;

  explicit TSaveFileDialogOverride(TAnswer answer = {});

  const std::vector<TSaveFileRequest>& Requests() const { return requests_; }

 private:
  friend std::optional<QString> AskSaveFileName(QWidget*, const TSaveFileRequest&);

  TAnswer answer_;
  std::vector<TSaveFileRequest> requests_;
  TScopedOverride<TSaveFileDialogOverride*> scope_;
};

}  // namespace kadrel
