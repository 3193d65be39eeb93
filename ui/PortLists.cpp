#include "relay/SettingsLists.h"
#include "ui/CRelayDlg.h"

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

// Only the untouched default means that nothing was chosen.
const QString NeverChosen = QStringLiteral("<Name>");

// A saved text that no entry has is listed under its own, so that START reports it as it is and the
// file keeps it: a list must never offer another port or speed in its place.
void SelectSaved(QComboBox* list, const QString& saved)
{
    if (saved != NeverChosen && list->findText(saved, Qt::MatchFixedString) < 0)
        list->addItem(saved);
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    list->setCurrentIndex(std::max(0, SelectStringIndex(entries, saved, 1)));
}

} // namespace

void CRelayDlg::FillPortLists()
{
    QStringList present {QStringLiteral("<Port>")};
    for (int number : ComPortList)
        present.append(QStringLiteral("COM%1").arg(number));
    for (const auto& [list, saved] : {std::pair {Ui.InComName, InComName}, std::pair {Ui.OutComName, OutComName}}) {
        QStringList names = present;
        // A saved port that is away at launch stays the operator's choice: START then uses and saves it.
        if (saved != NeverChosen && !names.contains(saved, Qt::CaseInsensitive))
            names.append(saved);
        SortPortNames(names);
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(0);
    }
    if (Ui.InComName->count() == 1 && Ui.OutComName->count() == 1) {
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
