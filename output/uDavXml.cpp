#include "output/uDavXml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdlib>
#include <memory>

namespace kadrel {
namespace {

constexpr std::string_view kDav = "DAV:";
constexpr std::string_view kCalDav = "urn:ietf:params:xml:ns:caldav";

struct TDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TDoc = std::unique_ptr<xmlDoc, TDocFree>;

TDoc Parse(std::string_view xml) {
  if (xml.empty() || xml.size() > 0x7fffffff) return nullptr;
  // No NOENT and no DTDLOAD: nothing is fetched. No WebDAV answer has a
  // DTD, so one that brings entities of its own is not an answer.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
  TDoc doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, options));
  if (doc && (doc->intSubset || doc->extSubset)) return nullptr;
  return doc;
}

bool Is(const xmlNode* node, std::string_view ns, std::string_view name) {
  if (!node || node->type != XML_ELEMENT_NODE || !node->ns || !node->ns->href) return false;
  return name == reinterpret_cast<const char*>(node->name) && ns == reinterpret_cast<const char*>(node->ns->href);
}

const xmlNode* Child(const xmlNode* node, std::string_view ns, std::string_view name) {
  for (const xmlNode* c = node ? node->children : nullptr; c; c = c->next) {
    if (Is(c, ns, name)) return c;
  }
  return nullptr;
}

std::string Text(const xmlNode* node) {
  if (!node) return {};
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

std::string Trimmed(std::string text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// "HTTP/1.1 200 OK" -> 200; 0 for anything else.
long StatusOf(const xmlNode* status) {
  const std::string line = Trimmed(Text(status));
  const auto space = line.find(' ');
  if (line.rfind("HTTP/", 0) != 0 || space == std::string::npos) return 0;
  return std::strtol(line.c_str() + space + 1, nullptr, 10);
}

std::string HrefIn(const xmlNode* node) { return Trimmed(Text(Child(node, kDav, "href"))); }

void ReadProp(const xmlNode* prop, TDavResponse& r) {
  for (const xmlNode* p = prop->children; p; p = p->next) {
    if (Is(p, kDav, "getetag")) {
      r.ETag = Trimmed(Text(p));
    } else if (Is(p, kDav, "current-user-principal")) {
      r.Principal = HrefIn(p);
    } else if (Is(p, kCalDav, "calendar-home-set")) {
      r.HomeSet = HrefIn(p);
    } else if (Is(p, kDav, "displayname")) {
      r.DisplayName = Trimmed(Text(p));
    } else if (Is(p, kCalDav, "calendar-data")) {
      r.CalendarData = Text(p);
    } else if (Is(p, kDav, "resourcetype")) {
      r.IsCollection = Child(p, kDav, "collection") != nullptr;
      r.IsCalendar = Child(p, kCalDav, "calendar") != nullptr;
    }
  }
}

}  // namespace

std::optional<std::vector<TDavResponse>> ParseMultiStatus(std::string_view xml) {
  const TDoc doc = Parse(xml);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (!Is(root, kDav, "multistatus")) return std::nullopt;
  std::vector<TDavResponse> responses;
  for (const xmlNode* n = root->children; n; n = n->next) {
    if (!Is(n, kDav, "response")) continue;
    TDavResponse r;
    r.Href = HrefIn(n);
    if (const xmlNode* status = Child(n, kDav, "status")) r.Status = StatusOf(status);
    for (const xmlNode* ps = n->children; ps; ps = ps->next) {
      // Properties the server lacks come back under 404; only found ones count.
      if (!Is(ps, kDav, "propstat") || StatusOf(Child(ps, kDav, "status")) != 200) continue;
      if (const xmlNode* prop = Child(ps, kDav, "prop")) ReadProp(prop, r);
    }
    responses.push_back(std::move(r));
  }
  return responses;
}

std::string DavPrecondition(std::string_view xml) {
  const TDoc doc = Parse(xml);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (!Is(root, kDav, "error")) return {};
  for (const xmlNode* c = root->children; c; c = c->next) {
    if (c->type == XML_ELEMENT_NODE) return reinterpret_cast<const char*>(c->name);
  }
  return {};
}

}  // namespace kadrel
