// How assistive technology meets the picture: a graphic named by the
// spoken formula, whose parts are its children, to any depth, each with
// the status bar's words, its own spoken content and its place on screen.
// The part the keyboard's highlight is on is the focused one.
#pragma once

class QAccessibleInterface;
class TPaintBox;

// Makes the picture's interface the one assistive technology gets; once
// per program, before the picture is first asked for.
void InstallFormulaAccess();

// The interface of `part` of the picture in `box`; nullptr for the whole
// formula, which is the picture itself, and for a part that does not exist.
// It stays valid until the parts are renewed.
QAccessibleInterface* PictureChildInterface(TPaintBox* box, int part);
