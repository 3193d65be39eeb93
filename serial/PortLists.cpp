#include "relay/CRelayDlg.h"

#include <QComboBox>

void CRelayDlg::EnumeratePorts()
{
    ComPortList.clear();
}

void CRelayDlg::FillPortLists()
{
    for (QComboBox* list : {Ui.InComName, Ui.OutComName}) {
        list->clear();
        list->addItem(QStringLiteral("<Port>"));
        list->setCurrentIndex(0);
    }
}
