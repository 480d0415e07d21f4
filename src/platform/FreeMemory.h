#pragma once

// Hands the heap's free pages back to the system. A window's text, pictures and
// layouts leave megabytes of freed heap behind, which the allocator otherwise keeps
// for the rest of the day; the tray calls this when its last window has closed.
void releaseFreeMemory();
