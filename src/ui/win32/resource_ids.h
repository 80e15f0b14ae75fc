// The numbers of the programs' resources, shared by their resource scripts
// (src/app/resources) and the code that loads them. Plain macros: the
// resource compiler reads this file too.
#pragma once

// The program's icon, in every size from 16 to 256 pixels.
#define ORVIK_PROGRAM_ICON 101
