// String ids of the leftover dialog (2000-2999): LeftoverStrings.rc holds them in Chinese and English.
#pragma once

#define IDS_KXW_LO_TITLE 2000           // %s: the program's name
#define IDS_KXW_LO_HINT 2001
#define IDS_KXW_LO_ROOT 2002            // %u: the entries
#define IDS_KXW_LO_FOLDERS 2003         // %u: the group's entries, likewise below
#define IDS_KXW_LO_FILES 2004
#define IDS_KXW_LO_REGISTRY 2005
#define IDS_KXW_LO_SHORTCUTS 2006

#define IDS_KXW_LO_SWEEP 2010
#define IDS_KXW_LO_CLOSE 2011
#define IDS_KXW_LO_NOTHING_TICKED 2012
#define IDS_KXW_LO_SWEEPING 2013        // %u: the entries handed to the sweep
#define IDS_KXW_LO_REFUSED_CALL 2014    // %s: the error
#define IDS_KXW_LO_READ_FAILED 2015     // %s: the error
#define IDS_KXW_LO_EMPTY 2016

#define IDS_KXW_LO_SUM_RECYCLE 2020     // %u
#define IDS_KXW_LO_SUM_GONE 2021        // %u
#define IDS_KXW_LO_SUM_RESTART 2022     // %u
#define IDS_KXW_LO_SUM_REGISTRY 2023    // %u
#define IDS_KXW_LO_SUM_NOT_REMOVED 2024 // %u
#define IDS_KXW_LO_SUM_REFUSED 2025     // %s: the path, %s: the guard's reason
#define IDS_KXW_LO_SUM_FAILED 2026      // %s: the path
#define IDS_KXW_LO_SUM_MORE 2027        // %u: the entries not shown
#define IDS_KXW_LO_SUM_LEFT_LIST 2028
#define IDS_KXW_LO_SUM_STAYS 2029       // %u: the leftovers still offered
#define IDS_KXW_LO_SUM_NOTHING 2030

// The first and last id the tests check in both languages.
#define IDS_KXW_LO_FIRST 2000
#define IDS_KXW_LO_LAST 2030
