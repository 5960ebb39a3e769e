#include "app/com_combo_box.h"

#include <string>
#include <vector>

#include "serial/com_port.h"
#include "serial/port_table.h"

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);  // pick only: a typed name could not be checked against the machine's ports
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(this, &QComboBox::activated, this, &TComComboBox::ItemPicked);
}

void TComComboBox::SetComProperty(TComProperty property) {
  comProperty_ = property;
  clear();
  if (property != cpPort) return;
  std::vector<std::string> names;
  kv9::EnumComPorts(names);
  for (const std::string& name : names) addItem(QString::fromStdString(name));
  if (count() > 0 && !comPort_) setCurrentIndex(0);
  else if (comPort_) SelectPortName();
}

void TComComboBox::SetComPort(kv9::TCustomComPort* port) {
  if (port == comPort_) return;
  comPort_ = port;
  if (comPort_) SelectPortName();
}

void TComComboBox::SelectPortName() {
  if (comProperty_ != cpPort) return;
  const QString name = QString::fromStdString(comPort_->Port());
  setCurrentIndex(findText(name, Qt::MatchFixedString));  // MatchFixedString ignores case; -1 selects nothing
}

QString TComComboBox::GetText() const { return currentIndex() < 0 ? QString() : currentText(); }

void TComComboBox::ItemPicked(int index) {
  if (!AutoApply || !comPort_ || comProperty_ != cpPort || index < 0) return;
  comPort_->SetPort(itemText(index).toStdString());
}
