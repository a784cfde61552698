#include "platform/gui/uMessages.h"

#include <QMessageBox>
#include <QPushButton>

namespace kadrel {

namespace {

// GUI thread only, like every message box.
TMessageBoxOverride* g_override = nullptr;

QMessageBox::Icon BoxIcon(TMsgIcon icon) {
  switch (icon) {
    case TMsgIcon::Information: return QMessageBox::Information;
    case TMsgIcon::Warning: return QMessageBox::Warning;
    case TMsgIcon::Error: return QMessageBox::Critical;
    case TMsgIcon::Question: break;
  }
  return QMessageBox::Question;
}

TMsgResult DefaultAnswer(const TMessageRequest& request) {
  return request.Buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::Ok;
}

}  // namespace

TMessageBoxOverride::TMessageBoxOverride(TAnswer answer)
    : answer_(std::move(answer)), scope_(g_override, this) {}

TMsgResult ShowMessageBox(QWidget* parent, const TMessageRequest& request) {
  if (g_override) {
    g_override->shown_.push_back(request);
    return g_override->answer_ ? g_override->answer_(request) : DefaultAnswer(request);
  }
  QMessageBox box(BoxIcon(request.Icon), request.Caption, request.Text, QMessageBox::NoButton, parent);
  // Qt's own button texts are English unless its translations are shipped;
  // the program's are fixed Chinese words.
  if (request.Buttons == TMsgButtons::YesNo) {
    QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
    box.setDefaultButton(request.DefaultNo ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? TMsgResult::Yes : TMsgResult::No;
  }
  QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
  return TMsgResult::Ok;
}

void ShowNotice(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, {text, QStringLiteral("提示"), TMsgIcon::Information, TMsgButtons::Ok});
}

void ShowError(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, {text, QStringLiteral("错误"), TMsgIcon::Error, TMsgButtons::Ok});
}

void ShowWarning(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, {text, QStringLiteral("警告"), TMsgIcon::Warning, TMsgButtons::Ok});
}

bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  return ShowMessageBox(parent, {text, caption, TMsgIcon::Question, TMsgButtons::YesNo}) == TMsgResult::Yes;
}

}  // namespace kadrel
