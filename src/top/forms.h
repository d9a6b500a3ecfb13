// Creating and destroying the program's windows.
#pragma once

namespace tav {
// Constructs every window once, main window first, in the program's start
// order. Each window's global variable (Form1, Form3, ...) is set as soon as
// it exists.
void CreateAllForms();
// Destroys the windows in reverse order and clears their variables.
void DestroyAllForms();
}  // namespace tav
