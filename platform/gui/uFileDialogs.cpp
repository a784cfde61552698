#include "platform/gui/uFileDialogs.h"

#include <QFileDialog>

namespace kadrel {

namespace {

// GUI thread only, like every dialog.
TSaveFileDialogOverride* g_override = nullptr;

}  // namespace

TSaveFileDialogOverride::TSaveFileDialogOverride(TAnswer answer)
    : answer_(std::move(answer)), scope_(g_override, this) {}

std::optional<QString> AskSaveFileName(QWidget* parent, const TSaveFileRequest& request) {
  if (g_override) {
    g_override->requests_.push_back(request);
    return g_override->answer_ ? g_override->answer_(request) : std::nullopt;
  }
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!request.Filter.isEmpty()) dialog.setNameFilter(request.Filter);
  if (!request.DefaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.DefaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
  if (!request.FileName.isEmpty()) dialog.selectFile(request.FileName);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front();
}

}  // namespace kadrel
