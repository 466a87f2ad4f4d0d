// TAutomaticUpdate, instance: the process-wide updater object.
#include "update/AutomaticUpdate.h"

// Created while the program loads, before the main form, so that leftovers
// of an earlier update are gone before anything else runs. In a file of its
// own: only a program that uses it pays for it at load.
TAutomaticUpdate AutomaticUpdate;
