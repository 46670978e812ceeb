// Site-specific texts of the dialogs and the version record. A deployment
// for another network or help desk changes this file only.
// UTF-8, no escapes: NetSetup.rc splices these into longer literals.
#ifndef NETSETUP_DEPLOYMENT_H
#define NETSETUP_DEPLOYMENT_H

// Setup guide for Windows Vista/7, last line of the Vista notes
#define DEPLOY_GUIDE_URL "https://orvane.example/guide/setup-vista.pdf"

// Help desk telephone number in the contact text
#define DEPLOY_HELPDESK_TEL "000-000-0000"

// Notice line of the About box and the version record; keep it short,
// the About box gives it one line of 119 dialog units
#define DEPLOY_NOTICE "Copyright (C) 2026 Tavren県"

#endif  // NETSETUP_DEPLOYMENT_H
