// Resource identifiers of the control library.
#pragma once

#define IDS_PROJNAME 100
#define IDB_VANTREX 101
#define IDR_VANTREX 102
#define IDI_VANTREX 201
