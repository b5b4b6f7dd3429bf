// Ids of the resources that brisquel.rc puts into the program.
#pragma once

#define IDI_BRISQUEL 1
#define IDB_BACKGROUND 2
