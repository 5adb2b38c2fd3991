// The panel's own controls as a screen reader sees them, through Qt's accessibility interfaces.
//
// The LED fields: the grid as a table of 12 rows and 32 columns whose cells are named "row 3,
// column 7, on", the pods and the rings as lists of items named with their colour or state. Every
// LED is checkable (checked when on) and offers one action, the same switch as a left click. No
// widget per LED: the interfaces are small objects made on demand and owned by the field's.
//
// The colour box, and every NamedComboBox ("When every source has gone" in the Live Input
// window): named by its purpose, with the chosen entry as its value; Qt's own
// combo box interface on this platform gives the current item as the name.
#pragma once

namespace velta {

class LedField;

// Registers the interface factory with Qt (once; later calls do nothing).
void InstallPanelAccessibility();

// Tell an attached screen reader that an LED's state or name changed, or that the keyboard moved
// to it. Free when no reader is attached.
void AnnounceLedState(LedField& field, int index);
void AnnounceLedFocus(LedField& field, int index);

}  // namespace velta
