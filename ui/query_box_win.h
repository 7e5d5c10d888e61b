// The query box's own keys: Down and Page Down leave the box for the result list, as users of
// such boxes expect; every other key edits the text as before.
#pragma once

#include <windows.h>

// Watches the keys of QueryEdit, which must exist.
void WatchQueryBoxKeys();
