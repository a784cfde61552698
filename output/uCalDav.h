// TCalDavClient: a calendar server's side of a publish, over HTTP(S) with
// libcurl, answers read with libxml2.
//
// One client holds one curl handle for its whole life, so every request to
// the same server goes over one connection while the server keeps it open
// (a server that closes after each answer gets a new one each time; the
// counters below tell). HTTPS checks the server's certificate against the
// system's certificates; Basic and Digest authentication are both offered,
// and credentials never follow a redirect to another host. Nothing here
// writes a log, and no error text holds the password.
//
// Addresses. The account's address may be the server itself
// ("https://host"), a principal, a calendar home or a calendar. FindCalendar
// follows RFC 6764 and RFC 4791: /.well-known/caldav when the address has no
// path, then the current-user-principal, its calendar-home-set, and in that
// home the calendar whose display name or last path segment is the name
// asked for; an address that is a calendar already is used as it is. Hrefs
// are paths on the account's server, as servers give them; an absolute URL
// is accepted too.
//
// Errors are values: a call that fails returns false or nullopt and Error()
// says why, with the server's name, in plain English.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

struct TDavAccount {
  std::string Url;
  std::string User;
  std::string Password;
  // PEM certificates to trust instead of the system's; empty: the system's.
  std::string CaFile;
  long ConnectTimeoutMs = 15000;
  long TimeoutMs = 60000;  // for each request, from connecting to the answer's last byte
  // Set by another thread to stop: no request starts after, and one under
  // way is dropped within a second.
  const std::atomic<bool>* Cancel = nullptr;
};

enum class TDavFault {
  None,
  BadAddress,    // not an http(s) address, or one that holds a password
  Unreachable,   // no connection: refused, no such host, closed without an answer
  Timeout,       // no whole answer in time
  Tls,           // the secure connection failed: certificate, protocol
  Unauthorized,  // 401: the user name or password was refused
  Forbidden,     // 403
  NotFound,      // 404
  Conflict,      // 409: a collection exists there, or an object of the same UID
  Changed,       // 412: the object is not as Kadrel left it
  Full,          // 507
  HttpStatus,    // any other status that is not success
  BadAnswer,     // an answer Kadrel cannot use: not XML, a missing property, too large
  Cancelled,     // stopped by Kadrel itself (TDavAccount::Cancel)
};

struct TDavError {
  TDavFault Fault = TDavFault::None;
  long Status = 0;      // the HTTP status, when the server answered
  std::string Server;   // "host" or "host:port"
  std::string Path;     // what the failed request asked for
  std::string Reason;   // plain English, without the server's name

  bool Failed() const { return Fault != TDavFault::None; }
  // "calendar server host:port: reason"
  std::string Text() const;
};

struct TDavObject {
  std::string Href;
  std::string ETag;
  std::string Data;  // only when asked for
};

class TCalDavClient {
 public:
  explicit TCalDavClient(TDavAccount account);
  ~TCalDavClient();
  TCalDavClient(const TCalDavClient&) = delete;
  TCalDavClient& operator=(const TCalDavClient&) = delete;

  // The absolute URL of the calendar `name` (its collection, ending in "/"),
  // made with MKCALENDAR when it is missing and `create` is set.
  std::optional<std::string> FindCalendar(std::string_view name, bool create);
  // MKCALENDAR of an event calendar at `url`, displayed as `displayName`.
  bool MakeCalendar(const std::string& url, std::string_view displayName);

  // Every event object of the calendar: href and ETag (a calendar-query
  // REPORT); with `withData` its text as well.
  std::optional<std::vector<TDavObject>> ListEvents(const std::string& calendarUrl, bool withData = false);

  // PUT of one iCalendar object. An empty `ifMatch` creates it only where
  // nothing is (If-None-Match: *); otherwise it replaces only the object of
  // that ETag (If-Match). Gives the new ETag, empty when the server gave none.
  std::optional<std::string> Put(std::string_view href, std::string_view ics, std::string_view ifMatch);
  // DELETE, of the object of ETag `ifMatch` only, unless it is empty.
  bool Delete(std::string_view href, std::string_view ifMatch);

  // `href` as an absolute URL on the account's server.
  std::string UrlOf(std::string_view href) const;
  const TDavError& Error() const { return error_; }
  const std::string& Server() const { return server_; }
  int Requests() const { return requests_; }
  // Connections opened so far: 1 for any number of requests over a kept one.
  int Connections() const { return connections_; }

 private:
  struct TReply;
  struct TCurl;
  bool Perform(const char* method, std::string_view url, std::string_view body, std::vector<std::string> headers,
               TReply& reply);
  bool Fail(TDavFault fault, std::string reason, long status = 0);
  bool FailStatus(const TReply& reply, std::string_view what);
  std::optional<std::string> Propfind(std::string_view url, int depth, std::string_view props,
                                      std::string* finalUrl = nullptr);
  std::optional<std::string> FindCalendarIn(const std::string& home, std::string_view name);

  TDavAccount account_;
  std::string server_;
  std::unique_ptr<TCurl> curl_;
  TDavError error_;
  int requests_ = 0;
  int connections_ = 0;
};

// `name` as one segment of a path: its UTF-8 bytes, those other than A-Z a-z
// 0-9 . _ - percent-encoded. A calendar made for a name, and an event's
// object, are named so.
std::string PathSegment(std::string_view name);

// "host" or "host:port" of an address, as errors name the server; empty for
// what is no address. Passwords are kept under this name.
std::string DavServerName(std::string_view address);

// The path of an absolute URL; `url` itself when it is not one.
std::string UrlPath(std::string_view url);

// `path` with its %XX escapes decoded, for comparing hrefs that servers
// escape differently.
std::string PercentDecoded(std::string_view path);

}  // namespace kadrel
