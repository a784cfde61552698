#include "platform/gui/uPrintQueue.h"

#include <cups/cups.h>

#include <string_view>

#include "platform/uDataFiles.h"

namespace kadrel {

namespace {

// One attribute of the queue, of type `tag`, as the service gives it; empty
// when it does not.
std::string QueueAttribute(const std::string& queue, const char* name, ipp_tag_t tag) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                   queue.c_str());
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, name);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  std::string value;
  if (ipp_attribute_t* attr = ippFindAttribute(response, name, tag)) {
    if (const char* text = ippGetString(attr, 0, nullptr)) value = text;
  }
  ippDelete(response);
  return value;
}

// What the queue's keeper wrote when they stopped it taking jobs
// (`cupsreject -r`); empty when the service does not say.
std::string StateMessage(const std::string& queue) {
  return QueueAttribute(queue, "printer-state-message", IPP_TAG_TEXT);
}

// The file a queue prints into when its device is "file:..."; empty for
// any other device, or when the service does not say.
std::string DeviceFile(const std::string& queue) {
  const std::string device = QueueAttribute(queue, "device-uri", IPP_TAG_URI);
  char scheme[32], user[256], host[256], resource[4096];
  int port = 0;
  if (device.empty() || httpSeparateURI(HTTP_URI_CODING_ALL, device.c_str(), scheme, sizeof scheme, user,
                                        sizeof user, host, sizeof host, &port, resource,
                                        sizeof resource) < HTTP_URI_STATUS_OK) {
    return {};
  }
  return std::string_view(scheme) == "file" ? std::string(resource) : std::string();
}

std::string RefusalText(const std::string& queue, ipp_status_t status, const std::string& detail) {
  const std::string printer = "打印机“" + queue + "”";
  const std::string nothing = "这次什么也没有打印。";
  switch (status) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS: {
      std::string why = StateMessage(queue);
      if (why == "Rejecting Jobs") why.clear();  // the service's stand-in for no reason given
      return printer + "现在不接受打印作业" + (why.empty() ? "" : "：" + why) + "。" + nothing;
    }
    case IPP_STATUS_ERROR_NOT_FOUND:
      return "打印服务里没有" + printer + "。" + nothing;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
      return "没有在" + printer + "上打印的权限。" + nothing;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
      return "打印服务没有响应，" + printer + "没有收到打印作业。" + nothing;
    default:
      return printer + "没有接受打印作业（" + detail + "）。" + nothing;
  }
}

}  // namespace

bool KeepsOffDataFiles(const std::string& file, const std::string& where, std::string& error) {
  const std::string data = DataFileAt(file, DataFoldersOf({}));
  if (data.empty()) return true;
  error = where + "的输出文件“" + file + "”" +
          (data == file ? "是 Kadrel 的数据文件" : "就是 Kadrel 的数据文件“" + data + "”") +
          "，打印不能写入它。这次什么也没有打印。";
  return false;
}

bool SubmitPrintJob(const TPrintJob& job, std::string& error) {
  // A queue's instance only selects saved options; jobs go to the queue.
  const std::string queue = job.Queue.substr(0, job.Queue.find('/'));
  if (const std::string file = DeviceFile(queue); !file.empty()) {
    if (!KeepsOffDataFiles(file, "打印机“" + queue + "”", error)) return false;
  }
  cups_option_t* options = nullptr;
  int count = 0;
  if (!job.Media.empty()) count = cupsAddOption("media", job.Media.c_str(), count, &options);
  const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), job.File.c_str(), job.Title.c_str(), count, options);
  cupsFreeOptions(count, options);
  if (id > 0) return true;
  const char* detail = cupsLastErrorString();
  error = RefusalText(queue, cupsLastError(), detail ? detail : "");
  return false;
}

}  // namespace kadrel
