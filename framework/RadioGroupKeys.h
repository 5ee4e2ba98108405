#pragma once

class QButtonGroup;

// The dialog manager's arrows in a group of radio buttons: Up and Left go to the previous
// button of the group in template order, Down and Right to the next, wrapping at the ends,
// skipping buttons that are disabled or hidden; the button reached is checked and clicked.
// Installed once per group, after its last button is added.
void InstallRadioGroupKeys(QButtonGroup* group);
