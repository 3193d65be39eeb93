#include "relay/CRelayDlg.h"
#include "serial/ComNames.h"

#include <QComboBox>

void CRelayDlg::EnumeratePorts()
{
    ComPortList.clear();
    const ComDeviceMap explicitDevices = LoadComDeviceMap();
    for (int number = FirstComNumber; number <= LastComNumber; ++number) {
        if (IsComDevicePresent(ComDevice(number, explicitDevices)))
            ComPortList.push_back(number);
    }
}

namespace {

void SelectSaved(QComboBox* list, const QString& saved)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    list->setCurrentIndex(std::max(0, SelectStringIndex(entries, saved, 1)));
}

} // namespace

void CRelayDlg::FillPortLists()
{
    QStringList names {QStringLiteral("<Port>")};
    for (int number : ComPortList)
        names.append(QStringLiteral("COM%1").arg(number));
    SortPortNames(names);
    for (QComboBox* list : {Ui.InComName, Ui.OutComName}) {
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(0);
    }
    if (ComPortList.empty()) {
        // Nothing to choose: the speeds show no selection either, as the names were never matched.
        Ui.InComSpeed->setCurrentIndex(-1);
        Ui.OutComSpeed->setCurrentIndex(-1);
        return;
    }
    SelectSaved(Ui.InComName, InComName);
    SelectSaved(Ui.InComSpeed, InComSpeed);
    SelectSaved(Ui.OutComName, OutComName);
    SelectSaved(Ui.OutComSpeed, OutComSpeed);
}
