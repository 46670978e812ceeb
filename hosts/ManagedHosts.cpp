#include "ManagedHosts.h"

// Rows 22 to 27 lie in the internal domain, row 16 in a subdomain of the
// primary one; the addresses rise through one /24.
const std::array<ManagedHost, kManagedHostCount> kManagedHosts = {{
    {"172.16.40.50", "www.orvane.example"},       {"172.16.40.55", "mail.orvane.example"},
    {"172.16.40.61", "portal.orvane.example"},    {"172.16.40.76", "news.orvane.example"},
    {"172.16.40.77", "board.orvane.example"},     {"172.16.40.78", "media.orvane.example"},
    {"172.16.40.79", "video.orvane.example"},     {"172.16.40.101", "learn.orvane.example"},
    {"172.16.40.102", "drill.orvane.example"},    {"172.16.40.103", "library.orvane.example"},
    {"172.16.40.104", "forum.orvane.example"},    {"172.16.40.105", "wiki.orvane.example"},
    {"172.16.40.106", "files.orvane.example"},    {"172.16.40.109", "photo.orvane.example"},
    {"172.16.40.113", "calendar.orvane.example"}, {"172.16.40.114", "survey.orvane.example"},
    {"172.16.40.115", "opac.lib.orvane.example"}, {"172.16.40.117", "blog.orvane.example"},
    {"172.16.40.131", "chat.orvane.example"},     {"172.16.40.141", "exam.orvane.example"},
    {"172.16.40.142", "report.orvane.example"},   {"172.16.40.143", "backup.orvane.example"},
    {"172.16.40.197", "dns.schoolnet.internal"},  {"172.16.40.200", "auth.schoolnet.internal"},
    {"172.16.40.201", "sso.schoolnet.internal"},  {"172.16.40.204", "ldap.schoolnet.internal"},
    {"172.16.40.205", "mdm.schoolnet.internal"},  {"172.16.40.206", "filter.schoolnet.internal"},
    {"172.16.40.211", "time.orvane.example"},     {"172.16.40.212", "update.orvane.example"},
    {"172.16.40.213", "help.orvane.example"},
}};

const char* const kProxyWildcard = "*.orvane.example";

// Row 22 comes last, although its address is the lowest of the internal rows.
const std::array<const char*, kProxyExceptionCount> kProxyExceptions = {
    kProxyWildcard,
    kManagedHosts[23].hostName,
    kManagedHosts[24].hostName,
    kManagedHosts[25].hostName,
    kManagedHosts[26].hostName,
    kManagedHosts[27].hostName,
    kManagedHosts[22].hostName,
};

CString ProxyExceptionsJoined() {
  CString joined = kProxyExceptions[0];
  for (int i = 1; i < kProxyExceptionCount; ++i) joined = joined + ";" + kProxyExceptions[i];
  return joined;
}
