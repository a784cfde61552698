#include "output/uCalDav.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

#include "output/uDavXml.h"
#include "output/uScheduleDoc.h"

namespace kadrel {
namespace {

// Far above any calendar's listing; a server that sends more is not one.
constexpr std::size_t kMaxAnswerBytes = std::size_t{64} << 20;
constexpr long kMaxRedirects = 5;

constexpr std::string_view kPrincipalProps = "<d:current-user-principal/><d:resourcetype/>";
constexpr std::string_view kHomeProps = "<c:calendar-home-set/>";
constexpr std::string_view kListProps = "<d:resourcetype/><d:displayname/>";

std::string PropfindBody(std::string_view props) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
         "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>" +
         std::string(props) + "</d:prop></d:propfind>";
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TUrlFree {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using TUrl = std::unique_ptr<CURLU, TUrlFree>;

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* value = nullptr;
  if (curl_url_get(url, part, &value, 0) != CURLUE_OK || !value) return {};
  std::string text = value;
  curl_free(value);
  return text;
}

std::string ServerOf(CURLU* url) {
  const std::string port = UrlPart(url, CURLUPART_PORT);
  return UrlPart(url, CURLUPART_HOST) + (port.empty() ? "" : ":" + port);
}

// `ref` resolved against `base` as a browser resolves a link, without any
// user name or password (curl puts the account's into the URLs it reports);
// empty when either is not a URL.
std::string Resolve(std::string_view base, std::string_view ref) {
  TUrl url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, std::string(base).c_str(), 0) != CURLUE_OK) return {};
  if (curl_url_set(url.get(), CURLUPART_URL, std::string(ref).c_str(), 0) != CURLUE_OK) return {};
  curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_OPTIONS, nullptr, 0);
  return UrlPart(url.get(), CURLUPART_URL);
}

std::string LastSegment(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool SamePath(std::string_view a, std::string_view b) {
  auto key = [](std::string_view p) {
    std::string d = PercentDecoded(p);
    while (!d.empty() && d.back() == '/') d.pop_back();
    return d;
  };
  return key(a) == key(b);
}

}  // namespace

std::string UrlPath(std::string_view url) {
  TUrl u(curl_url());
  if (!u || curl_url_set(u.get(), CURLUPART_URL, std::string(url).c_str(), 0) != CURLUE_OK) return std::string(url);
  return UrlPart(u.get(), CURLUPART_PATH);
}

struct TCalDavClient::TReply {
  long Status = 0;
  std::string Body;
  std::string ETag;
  std::string Url;  // the last one asked, after redirects
};

struct TCalDavClient::TCurl {
  CURL* Handle = nullptr;
  char ErrorText[CURL_ERROR_SIZE] = {};
  ~TCurl() {
    if (Handle) curl_easy_cleanup(Handle);
  }
};

namespace {

std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& body = *static_cast<std::string*>(user);
  const std::size_t n = size * count;
  if (body.size() + n > kMaxAnswerBytes) return 0;  // curl then fails with CURLE_WRITE_ERROR
  body.append(data, n);
  return n;
}

// Each answer's headers, the last answer's ETag kept: a 401 before the
// authenticated answer, or a redirect, starts over.
std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& etag = *static_cast<std::string*>(user);
  const std::size_t n = size * count;
  std::string_view line(data, n);
  if (line.rfind("HTTP/", 0) == 0) etag.clear();
  if (line.size() > 5 && strncasecmp(line.data(), "etag:", 5) == 0) {
    line.remove_prefix(5);
    const auto first = line.find_first_not_of(" \t");
    const auto last = line.find_last_not_of(" \t\r\n");
    etag = first == std::string_view::npos ? "" : std::string(line.substr(first, last - first + 1));
  }
  return n;
}

int CancelCheck(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

struct THeaders {
  curl_slist* List = nullptr;
  ~THeaders() { curl_slist_free_all(List); }
};

}  // namespace

std::string TDavError::Text() const { return "calendar server " + Server + ": " + Reason; }

std::string PathSegment(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string slug;
  for (unsigned char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
        c == '-') {
      slug += static_cast<char>(c);
    } else {
      slug += '%';
      slug += kHex[c >> 4];
      slug += kHex[c & 15];
    }
  }
  return slug;
}

std::string PercentDecoded(std::string_view path) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && hex(path[i + 1]) >= 0 && hex(path[i + 2]) >= 0) {
      out += static_cast<char>(hex(path[i + 1]) * 16 + hex(path[i + 2]));
      i += 2;
    } else {
      out += path[i];
    }
  }
  return out;
}

std::string DavServerName(std::string_view address) {
  TUrl url(curl_url());
  const std::string text(address);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_URLENCODE) != CURLUE_OK) return {};
  return ServerOf(url.get());
}

TCalDavClient::TCalDavClient(TDavAccount account) : account_(std::move(account)), curl_(std::make_unique<TCurl>()) {
  InitCurlOnce();
  TUrl url(curl_url());
  // A typed address may hold spaces or Chinese; escapes already there stay.
  const bool parsed = url && curl_url_set(url.get(), CURLUPART_URL, account_.Url.c_str(), CURLU_URLENCODE) == CURLUE_OK;
  server_ = parsed ? ServerOf(url.get()) : "(no server)";
  if (parsed) account_.Url = UrlPart(url.get(), CURLUPART_URL);
  const std::string scheme = parsed ? UrlPart(url.get(), CURLUPART_SCHEME) : "";
  if (!parsed || (scheme != "http" && scheme != "https")) {
    Fail(TDavFault::BadAddress, "the address is not an http:// or https:// address");
  } else if (!UrlPart(url.get(), CURLUPART_PASSWORD).empty()) {
    // The address is shown and typed in the open; a password never belongs in it.
    Fail(TDavFault::BadAddress, "the address holds a password; give it apart from the address");
  }
  curl_->Handle = curl_easy_init();
  if (!curl_->Handle && !error_.Failed()) Fail(TDavFault::Unreachable, "the HTTP library could not start");
  if (error_.Failed()) return;
  CURL* h = curl_->Handle;
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curl_->ErrorText);
  curl_easy_setopt(h, CURLOPT_USERAGENT, "Kadrel/2.0");
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  // A PROPFIND redirected from /.well-known/caldav stays a PROPFIND with its body.
  curl_easy_setopt(h, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, account_.ConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, account_.TimeoutMs);
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
  // HTTP/2 gains nothing over one kept connection, and a request with a body
  // that meets a Digest challenge breaks on it (lighttpd 1.4.69, curl 7.88).
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
  curl_easy_setopt(h, CURLOPT_USERNAME, account_.User.c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, account_.Password.c_str());
  if (!account_.CaFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, account_.CaFile.c_str());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, TakeBody);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, TakeHeader);
  if (account_.Cancel) {
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, CancelCheck);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, account_.Cancel);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  }
}

TCalDavClient::~TCalDavClient() = default;

std::string TCalDavClient::UrlOf(std::string_view href) const { return Resolve(account_.Url, href); }

bool TCalDavClient::Fail(TDavFault fault, std::string reason, long status) {
  error_.Fault = fault;
  error_.Status = status;
  error_.Server = server_;
  error_.Reason = std::move(reason);
  return false;
}

bool TCalDavClient::FailStatus(const TReply& reply, std::string_view what) {
  const std::string path = UrlPath(reply.Url);
  const std::string status = " (HTTP " + std::to_string(reply.Status) + ")";
  switch (reply.Status) {
    case 401:
      return Fail(TDavFault::Unauthorized, "the user name or password was refused" + status, 401);
    case 403:
      return Fail(TDavFault::Forbidden, std::string(what) + " " + path + " is not allowed for this user" + status, 403);
    case 404:
      return Fail(TDavFault::NotFound, path + " does not exist" + status, 404);
    case 409: {
      const std::string pre = DavPrecondition(reply.Body);
      if (pre == "no-uid-conflict") {
        return Fail(TDavFault::Conflict, "another object on the calendar has the UID of " + path + status, 409);
      }
      return Fail(TDavFault::Conflict,
                  std::string(what) + " " + path + " conflicts with what is there" + (pre.empty() ? "" : " (" + pre + ")") +
                      status,
                  409);
    }
    case 412:
      return Fail(TDavFault::Changed,
                  path + " was changed or removed on the server since Kadrel wrote it; it was left as it is" + status,
                  412);
    case 507:
      return Fail(TDavFault::Full, "the server has no room left for " + path + status, 507);
    default:
      return Fail(TDavFault::HttpStatus, std::string(what) + " " + path + " failed" + status, reply.Status);
  }
}

bool TCalDavClient::Perform(const char* method, std::string_view url, std::string_view body,
                            std::vector<std::string> headers, TReply& reply) {
  if (error_.Fault == TDavFault::BadAddress || !curl_->Handle) return false;
  error_ = {};
  if (account_.Cancel && account_.Cancel->load()) return Fail(TDavFault::Cancelled, "stopped before it was done");
  CURL* h = curl_->Handle;
  const std::string target(url);
  reply = {};
  reply.Url = target;
  curl_->ErrorText[0] = '\0';
  // Radicale and others never send "100 Continue"; curl would wait a second for it.
  headers.emplace_back("Expect:");
  THeaders list;
  for (const std::string& header : headers) list.List = curl_slist_append(list.List, header.c_str());
  curl_easy_setopt(h, CURLOPT_URL, target.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);  // forgets the last request's body
  if (!body.empty()) {
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  }
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.List);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply.Body);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &reply.ETag);
  const CURLcode code = curl_easy_perform(h);
  ++requests_;
  long connects = 0;
  curl_easy_getinfo(h, CURLINFO_NUM_CONNECTS, &connects);
  connections_ += static_cast<int>(connects);
  char* effective = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    reply.Url = Resolve(effective, effective);
  }
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.Status);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
  if (code == CURLE_OK) return true;
  const std::string detail = curl_->ErrorText[0] ? curl_->ErrorText : curl_easy_strerror(code);
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return Fail(TDavFault::Timeout, "no answer within " + std::to_string((account_.TimeoutMs + 999) / 1000) +
                                          " s (" + detail + ")");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_ENGINE_INITFAILED:
      return Fail(TDavFault::Tls, "the secure connection failed: " + detail);
    case CURLE_TOO_MANY_REDIRECTS:
      return Fail(TDavFault::BadAnswer, "more than " + std::to_string(kMaxRedirects) + " redirects");
    case CURLE_WRITE_ERROR:
      return Fail(TDavFault::BadAnswer, "the answer is larger than " + std::to_string(kMaxAnswerBytes >> 20) + " MB");
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return Fail(TDavFault::BadAddress, "not an address Kadrel can use (" + detail + ")");
    case CURLE_ABORTED_BY_CALLBACK:
      return Fail(TDavFault::Cancelled, "stopped before it was done");
    case CURLE_GOT_NOTHING:
      return Fail(TDavFault::Unreachable, "the server closed the connection without an answer");
    default:
      return Fail(TDavFault::Unreachable, "cannot reach the server: " + detail);
  }
}

std::optional<std::string> TCalDavClient::Propfind(std::string_view url, int depth, std::string_view props,
                                                   std::string* finalUrl) {
  TReply reply;
  if (!Perform("PROPFIND", url, PropfindBody(props),
               {"Depth: " + std::to_string(depth), "Content-Type: application/xml; charset=utf-8"}, reply)) {
    return std::nullopt;
  }
  if (reply.Status != 207) {
    FailStatus(reply, "reading");
    return std::nullopt;
  }
  if (finalUrl) *finalUrl = reply.Url;
  return std::move(reply.Body);
}

std::optional<std::string> TCalDavClient::FindCalendar(std::string_view name, bool create) {
  // RFC 6764: a bare server address starts at its well-known place, which
  // redirects to where the server keeps its principals. A server without one
  // is asked at its address.
  std::string start = account_.Url;
  std::optional<std::string> answer;
  if (const std::string path = UrlPath(start); path.empty() || path == "/") {
    answer = Propfind(Resolve(start, "/.well-known/caldav"), 0, kPrincipalProps, &start);
    if (!answer && error_.Fault != TDavFault::NotFound && error_.Fault != TDavFault::HttpStatus) return std::nullopt;
  }
  if (!answer) {
    start = account_.Url;
    if (!(answer = Propfind(start, 0, kPrincipalProps, &start))) return std::nullopt;
  }
  const auto here = ParseMultiStatus(*answer);
  if (!here || here->empty()) {
    Fail(TDavFault::BadAnswer, UrlPath(start) + " did not answer as a CalDAV server does");
    return std::nullopt;
  }
  if (here->front().IsCalendar) return Resolve(start, here->front().Href.empty() ? start : here->front().Href);
  std::string principal = here->front().Principal.empty() ? start : Resolve(start, here->front().Principal);

  const auto homeAnswer = Propfind(principal, 0, kHomeProps);
  if (!homeAnswer) return std::nullopt;
  const auto home = ParseMultiStatus(*homeAnswer);
  if (!home || home->empty() || home->front().HomeSet.empty()) {
    Fail(TDavFault::BadAnswer, UrlPath(principal) + " does not say where its calendars are (calendar-home-set)");
    return std::nullopt;
  }
  const std::string homeUrl = Resolve(principal, home->front().HomeSet);
  if (auto found = FindCalendarIn(homeUrl, name)) return found;
  if (error_.Failed()) return std::nullopt;
  const std::string slug = PathSegment(name);
  if (!create) {
    Fail(TDavFault::NotFound, "there is no calendar " + slug + " in " + UrlPath(homeUrl));
    return std::nullopt;
  }
  const std::string url = Resolve(homeUrl.back() == '/' ? homeUrl : homeUrl + "/", slug + "/");
  if (!MakeCalendar(url, name)) return std::nullopt;
  return url;
}

std::optional<std::string> TCalDavClient::FindCalendarIn(const std::string& home, std::string_view name) {
  const auto answer = Propfind(home, 1, kListProps);
  if (!answer) return std::nullopt;
  const auto list = ParseMultiStatus(*answer);
  if (!list) {
    Fail(TDavFault::BadAnswer, "the list of calendars in " + UrlPath(home) + " is not a WebDAV answer");
    return std::nullopt;
  }
  for (const TDavResponse& r : *list) {
    if (!r.IsCalendar) continue;
    if (r.DisplayName == name || PercentDecoded(LastSegment(r.Href)) == name) return Resolve(home, r.Href);
  }
  return std::nullopt;
}

bool TCalDavClient::MakeCalendar(const std::string& url, std::string_view displayName) {
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<c:mkcalendar xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:set><d:prop>"
      "<d:displayname>" +
      HtmlEscape(displayName) +
      "</d:displayname>"
      "<c:supported-calendar-component-set><c:comp name=\"VEVENT\"/></c:supported-calendar-component-set>"
      "</d:prop></d:set></c:mkcalendar>";
  TReply reply;
  if (!Perform("MKCALENDAR", url, body, {"Content-Type: application/xml; charset=utf-8"}, reply)) return false;
  if (reply.Status == 201) return true;
  if (reply.Status == 405 || reply.Status == 409) {
    // 405 is what RFC 4791 names for a resource that exists already.
    return Fail(TDavFault::Conflict, "cannot make the calendar " + UrlPath(url) + ": something exists there already (HTTP " +
                                         std::to_string(reply.Status) + ")",
                reply.Status);
  }
  return FailStatus(reply, "making the calendar");
}

std::optional<std::vector<TDavObject>> TCalDavClient::ListEvents(const std::string& calendarUrl, bool withData) {
  const std::string body = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                       "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                                       "<d:prop><d:getetag/>") +
                           (withData ? "<c:calendar-data/>" : "") +
                           "</d:prop><c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VEVENT\"/>"
                           "</c:comp-filter></c:filter></c:calendar-query>";
  TReply reply;
  if (!Perform("REPORT", calendarUrl, body, {"Depth: 1", "Content-Type: application/xml; charset=utf-8"}, reply)) {
    return std::nullopt;
  }
  if (reply.Status != 207) {
    FailStatus(reply, "listing");
    return std::nullopt;
  }
  const auto list = ParseMultiStatus(reply.Body);
  if (!list) {
    Fail(TDavFault::BadAnswer, "the list of events in " + UrlPath(calendarUrl) + " is not a WebDAV answer");
    return std::nullopt;
  }
  std::vector<TDavObject> objects;
  for (const TDavResponse& r : *list) {
    if (r.Href.empty() || r.IsCollection || SamePath(r.Href, UrlPath(calendarUrl))) continue;
    if (r.Status != 0 && r.Status != 200) continue;
    objects.push_back({r.Href, r.ETag, r.CalendarData});
  }
  return objects;
}

std::optional<std::string> TCalDavClient::Put(std::string_view href, std::string_view ics, std::string_view ifMatch) {
  TReply reply;
  const std::string condition = ifMatch.empty() ? "If-None-Match: *" : "If-Match: " + std::string(ifMatch);
  if (!Perform("PUT", UrlOf(href), ics, {"Content-Type: text/calendar; charset=utf-8", condition}, reply)) {
    return std::nullopt;
  }
  if (reply.Status != 200 && reply.Status != 201 && reply.Status != 204) {
    FailStatus(reply, "writing");
    return std::nullopt;
  }
  return std::move(reply.ETag);
}

bool TCalDavClient::Delete(std::string_view href, std::string_view ifMatch) {
  TReply reply;
  std::vector<std::string> headers;
  if (!ifMatch.empty()) headers.push_back("If-Match: " + std::string(ifMatch));
  if (!Perform("DELETE", UrlOf(href), {}, std::move(headers), reply)) return false;
  if (reply.Status == 200 || reply.Status == 204) return true;
  return FailStatus(reply, "deleting");
}

}  // namespace kadrel
