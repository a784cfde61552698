// The WebDAV multistatus answers a calendar server gives (RFC 4918 13, RFC
// 4791), read with libxml2 into the few properties a publish asks for.
// Elements are matched by namespace and local name, never by prefix. A
// document with a DTD is refused, so no entity of the server's is expanded,
// and nothing is fetched from the network, whatever the document asks for.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

// One <response>, with what its propstats of status 200 hold.
struct TDavResponse {
  std::string Href;
  long Status = 0;  // of the response itself (a sync or multiget 404), else 0
  std::string ETag;
  std::string Principal;  // current-user-principal's href
  std::string HomeSet;    // calendar-home-set's first href
  std::string DisplayName;
  std::string CalendarData;
  bool IsCollection = false;
  bool IsCalendar = false;
};

// nullopt when `xml` is not a multistatus document.
std::optional<std::vector<TDavResponse>> ParseMultiStatus(std::string_view xml);

// The CalDAV precondition a 409 or 403 answer names in its <error> body
// ("no-uid-conflict", "calendar-collection-location-ok", ...); empty if none.
std::string DavPrecondition(std::string_view xml);

}  // namespace kadrel
