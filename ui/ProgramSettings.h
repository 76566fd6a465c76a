// What the program sets up for Qt before it makes any window.
#pragma once

// Points Qt's own settings, which its standard dialogs keep, where nothing
// can be stored: the program keeps no configuration.
void KeepNoSettings();
