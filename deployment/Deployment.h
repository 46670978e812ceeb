// What one deployment of the tool sets, and the one file it changes: the
// school network's hosts at their addresses, its primary domain, and the
// site's texts in the dialogs and the version record. The proxy exceptions
// follow from the rows (ManagedHosts.h); the unit tests check the shape the
// rows must keep, not the rows themselves.
//
// The resource compiler reads this file too, for the texts: UTF-8, no
// escapes, as NetSetup.rc splices them into longer literals. It skips the
// rest.
#ifndef NETSETUP_DEPLOYMENT_H
#define NETSETUP_DEPLOYMENT_H

// Setup guide for Windows Vista/7, last line of the Vista notes
#define DEPLOY_GUIDE_URL "https://orvane.example/guide/setup-vista.pdf"

// Help desk telephone number in the contact text
#define DEPLOY_HELPDESK_TEL "000-000-0000"

// Notice line of the About box and the version record; keep it short,
// the About box gives it one line of 119 dialog units
#define DEPLOY_NOTICE "Copyright (C) 2026 Tavren県"

#ifndef RC_INVOKED

// One row of the managed host table.
struct ManagedHost {
  const char* address;   // dotted-decimal IPv4: four octets, no leading zeros, no spaces
  const char* hostName;  // lower case, begins with a letter, no white space
};

// The network's 31 hosts, in the order Set appends them: every address in
// one /24 with its last octet rising from row to row; rows 22 to 27 in the
// internal domain, every other row in the primary domain (row 16 in a
// subdomain of it). The proxy exceptions name rows 23 to 27, then 22.
inline constexpr ManagedHost kManagedHosts[] = {
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
};

// "*." and the primary domain: the first proxy exception, and the entry
// whose presence tells the dialog that Set was done.
inline constexpr const char* kProxyWildcard = "*.orvane.example";

#endif  // RC_INVOKED
#endif  // NETSETUP_DEPLOYMENT_H
