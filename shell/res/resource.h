// Resource ids of KWPAGE.exe, shared by KWPAGE.rc and the program.
#pragma once

#define IDI_KWPAGE 1
