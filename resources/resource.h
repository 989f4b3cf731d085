#pragma once
// Resource ids of the executable; layout modules use the same control ids.

#define IDI_SMALL        100
#define IDI_LARGE        101

#define IDD_MAIN         200
#define IDD_LAYOUT       201
