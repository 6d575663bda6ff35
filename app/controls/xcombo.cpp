#include "app/controls/xcombo.h"

CXCombo::CXCombo(QWidget* parent) : CAdvComboBox(parent)
{
}

void CXCombo::OnEscape()
{
    emit WM_XCOMBOLIST_VK_ESCAPE();
}

void CXCombo::OnReturn()
{
    emit WM_XCOMBOLIST_COMPLETE();
}

void CXCombo::OnFocusLost(QWidget* next)
{
    CAdvComboBox::OnFocusLost(next);
    // The focus moving into the combo's own drop window is not an end.
    if (GetDropWnd() && next && GetDropWnd()->isAncestorOf(next))
        return;
    emit WM_XCOMBOLIST_COMPLETE();
}
