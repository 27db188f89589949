#pragma once
// The skin's colours for the windows Qt draws itself (dialogs, fields, file
// choosers), so they sit beside the skinned ones in one light-blue family.

#include <QPalette>

namespace kova {

QPalette skinPalette();
// Makes it the application's palette; call once the QApplication exists.
void applySkinPalette();

}  // namespace kova
