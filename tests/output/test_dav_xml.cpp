// Answers a server may send, read by namespace and refused when they are not
// what they claim; the reader never expands an entity or fetches anything.
#include <gtest/gtest.h>

#include "output/uDavXml.h"

namespace kadrel {
namespace {

TEST(DavXml, ReadsPropertiesByNamespaceFromFoundPropstatsOnly) {
  const auto list = ParseMultiStatus(
      "<?xml version='1.0'?><D:multistatus xmlns:D='DAV:' xmlns:C='urn:ietf:params:xml:ns:caldav' xmlns:X='other:'>"
      "<D:response><D:href> /cal/a.ics </D:href><D:propstat><D:prop><D:getetag>\"1\"</D:getetag>"
      "<X:getetag>wrong</X:getetag><D:resourcetype><D:collection/><C:calendar/></D:resourcetype>"
      "<D:displayname>班次 &amp; 假期</D:displayname></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
      "<D:propstat><D:prop><C:calendar-home-set><D:href>/missing/</D:href></C:calendar-home-set></D:prop>"
      "<D:status>HTTP/1.1 404 Not Found</D:status></D:propstat></D:response>"
      "<D:response><D:href>/cal/gone.ics</D:href><D:status>HTTP/1.1 404 Not Found</D:status></D:response>"
      "</D:multistatus>");
  ASSERT_TRUE(list && list->size() == 2);
  const TDavResponse& a = (*list)[0];
  EXPECT_EQ(a.Href, "/cal/a.ics");
  EXPECT_EQ(a.ETag, "\"1\"");
  EXPECT_TRUE(a.IsCollection && a.IsCalendar);
  EXPECT_EQ(a.DisplayName, "班次 & 假期");
  EXPECT_EQ(a.HomeSet, "");
  EXPECT_EQ((*list)[1].Status, 404);
}

TEST(DavXml, RefusesWhatIsNotAMultistatusAndExpandsNoEntity) {
  for (const char* bad : {"", "not xml", "<html><body>502 Bad Gateway</body></html>", "<multistatus/>",
                          "<?xml version='1.0'?><D:multistatus xmlns:D='DAV:'><D:response>"}) {
    EXPECT_FALSE(ParseMultiStatus(bad)) << bad;
  }
  // Entities of the server's own: a file's contents, a billion laughs.
  EXPECT_FALSE(ParseMultiStatus("<?xml version='1.0'?><!DOCTYPE m [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
                                "<D:multistatus xmlns:D='DAV:'><D:response><D:href>&x;</D:href></D:response>"
                                "</D:multistatus>"));
  EXPECT_FALSE(ParseMultiStatus("<?xml version='1.0'?><!DOCTYPE m [<!ENTITY a 'lol'><!ENTITY b '&a;&a;&a;'>]>"
                                "<D:multistatus xmlns:D='DAV:'><D:response><D:href>&b;</D:href></D:response>"
                                "</D:multistatus>"));
  EXPECT_EQ(DavPrecondition("<?xml version='1.0'?><D:error xmlns:D='DAV:' xmlns:C='urn:ietf:params:xml:ns:caldav'>"
                            "<C:no-uid-conflict><D:href>/cal/x.ics</D:href></C:no-uid-conflict></D:error>"),
            "no-uid-conflict");
}

}  // namespace
}  // namespace kadrel
