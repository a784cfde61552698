#include "output/uExport.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/uAtomicFile.h"
#include "platform/uDataFiles.h"
#include "platform/uUserDirs.h"

namespace kadrel {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Quoted(const std::string& path) { return "“" + path + "”"; }

std::string ChineseText(int err, const std::string& file, bool folderExists) {
  const std::string name = Quoted(file);
  switch (err) {
    case ENOENT:
      if (folderExists) return "无法创建文件" + name + "。";
      [[fallthrough]];
    case ENOTDIR:
      return "文件夹" + Quoted(FolderOf(file)) + "不存在，无法保存" + name + "。请选择一个已有的文件夹。";
    case EACCES:
    case EPERM:
      return "没有写入" + name + "的权限。请选择一个您可以写入的文件夹，例如“文档”。";
    case EROFS:
      return "文件夹" + Quoted(FolderOf(file)) + "在只读的磁盘上，无法写入" + name + "。请选择其他位置。";
    case EISDIR:
      return name + "是一个文件夹。请在文件夹后面写上文件名。";
    case ENOSPC:
    case EDQUOT:
      return "磁盘空间不足，" + name + "没有写成，原有的文件没有改变。请腾出空间或选择其他位置。";
    case EMFILE:
    case ENFILE:
      return "打开的文件太多，无法写入" + name + "。请关闭一些程序后再试。";
    case ELOOP:
      return name + "的符号链接绕成了一个圈，无法写入。";
    case ENAMETOOLONG:
      return "文件名" + name + "太长。请选择短一些的文件名。";
    default:
      return "写入" + name + "时发生输入输出错误（错误码 " + std::to_string(err) + "），文件没有写成。";
  }
}

TIoError Fail(int err, const std::string& file) {
  const bool folderExists = IsFolder(FolderOf(file));
  TIoError error = IoErrorFromErrno(err, folderExists);
  error.Chinese = ChineseText(err, file, folderExists);
  return error;
}

TIoError NotRegular(mode_t type, const std::string& file) {
  if (S_ISDIR(type)) return Fail(EISDIR, file);
  const char* kind = S_ISFIFO(type) ? "命名管道" : S_ISSOCK(type) ? "套接字" : S_ISLNK(type) ? "无法读取的符号链接" : "设备";
  return {5, "File access denied",
          Quoted(file) + "不是普通文件（是" + kind + "），导出只能写入普通文件。请选择其他文件名。"};
}

}  // namespace

TIoError IoErrorFromErrno(int err, bool folderExists) {
  switch (err) {
    case ENOENT:
      return folderExists ? TIoError{2, "File not found", {}} : TIoError{3, "Invalid filename", {}};
    case ENOTDIR:
      return TIoError{3, "Invalid filename", {}};
    case EMFILE:
    case ENFILE:
      return TIoError{4, "Too many open files", {}};
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return TIoError{5, "File access denied", {}};
    case ENOSPC:
    case EDQUOT:
      return TIoError{101, "Disk full", {}};
    default:
      return TIoError{err, "I/O error " + std::to_string(err), {}};
  }
}

std::string DefaultExportFolder(const std::string& dataFolder) {
  const std::vector<std::string> data = DataFoldersOf(dataFolder);
  const char* home = std::getenv("HOME");
  const char* temp = std::getenv("TMPDIR");
  for (std::string folder : {UserDocumentsFolder(), std::string(home ? home : ""),
                             std::string(temp && temp[0] == '/' ? temp : "/tmp")}) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || folder[0] != '/' || !IsFolder(folder)) continue;
    if (std::none_of(data.begin(), data.end(), [&](const std::string& d) { return SameFile(folder, d); })) {
      return folder;
    }
  }
  return "/tmp";
}

std::string ExportPathOf(std::string_view typed, const std::string& folder) {
  if (typed == "~" || typed.starts_with("~/")) {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home + std::string(typed.substr(1));
  }
  if (typed.empty() || typed[0] == '/') return std::string(typed);
  return (folder.empty() || folder.back() == '/' ? folder : folder + "/") + std::string(typed);
}

std::optional<TIoError> WriteExportFile(const std::string& fileName, std::string_view bytes,
                                        const std::string& dataFolder, TFileOps& ops) {
  if (fileName.empty()) return TIoError{2, "File not found", "请输入导出文件的文件名。"};
  if (const std::string data = DataFileAt(fileName, DataFoldersOf(dataFolder)); !data.empty()) {
    return TIoError{5, "refusing to overwrite Kadrel's data file " + data,
                    Quoted(fileName) + (data == fileName ? "是 Kadrel 的数据文件" : "就是 Kadrel 的数据文件" + Quoted(data)) +
                        "，导出不能写入它。请选择其他文件名或文件夹。"};
  }
  TAtomicFile file(ops);
  if (file.Begin(fileName) && file.WriteWhole(bytes)) return std::nullopt;
  const TAtomicFileError& error = file.Error();
  if (error.Fault == TAtomicFault::NotRegular) return NotRegular(error.FileType, fileName);
  // The folder that matters is the real file's, where the temporary went.
  return Fail(error.Errno, file.TargetPath().empty() ? fileName : file.TargetPath());
}

std::optional<TIoError> SaveAsText(std::string_view title, const std::string& fileName,
                                   std::span<const std::string> lines, TFileOps& ops) {
  return WriteExportFile(fileName, BuildTextFile(title, lines), {}, ops);
}

std::optional<TIoError> SaveAsHtml(std::string_view title, const std::string& fileName,
                                   std::span<const std::string> lines, TFileOps& ops) {
  return WriteExportFile(fileName, BuildHtmlFile(title, lines), {}, ops);
}

std::optional<TIoError> SaveAsDat(std::string_view, const std::string& fileName,
                                  std::span<const std::string> lines, TFileOps& ops) {
  return WriteExportFile(fileName, BuildDatFile(lines), {}, ops);
}

}  // namespace kadrel
