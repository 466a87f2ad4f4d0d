// TAutomaticUpdate, instance: the process-wide updater object.
#include "update/AutomaticUpdate.h"

// Created while the program loads, before the main form; it does nothing
// until called (the program's start removes update leftovers itself). In a
// file of its own: only a program that uses it pays for it at load.
TAutomaticUpdate AutomaticUpdate;
