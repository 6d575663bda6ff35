// The combo box that the file list opens over a cell. It tells the list how
// it ended: completed (Return, a pick from its list, or the focus gone
// elsewhere) or cancelled (Escape).
#pragma once

#include "app/controls/advcombobox.h"

class CXCombo : public CAdvComboBox {
    Q_OBJECT
public:
    explicit CXCombo(QWidget* parent = nullptr);

signals:
    // Escape while nothing was dropped: the list closes the combo.
    void WM_XCOMBOLIST_VK_ESCAPE();
    // The choice is made: the list takes the selection and closes the combo.
    void WM_XCOMBOLIST_COMPLETE();

protected:
    void OnEscape() override;
    void OnReturn() override;
    void OnFocusLost(QWidget* next) override;
};
