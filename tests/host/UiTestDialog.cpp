#include "tests/host/UiTestDialog.h"

namespace uitest {

BEGIN_MESSAGE_MAP(TestDlg, CDialog3d)
ON_BN_CLICKED(1002, &TestDlg::OnAdd)
ON_NOTIFY(NM_CLICK, 1001, &TestDlg::OnClick)
ON_NOTIFY(LVN_KEYDOWN, 1001, &TestDlg::OnKey)
ON_MESSAGE(WM_XLISTCTRL_CHECKBOX_CLICKED, &TestDlg::OnCheck)
ON_MESSAGE(WM_XLISTCTRL_LINK_CLICKED, &TestDlg::OnLink)
ON_MESSAGE(WM_XLISTCTRL_COMBO_SELECTION, &TestDlg::OnCombo)
ON_MESSAGE(WM_XLISTCTRL_EDIT_END, &TestDlg::OnEdit)
END_MESSAGE_MAP()

}  // namespace uitest
