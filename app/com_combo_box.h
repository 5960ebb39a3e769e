#pragma once
// TComComboBox: a drop-down list of one kind of serial port setting, bound to
// at most one port. The tool shows it only with ComProperty cpPort, where it
// lists the machine's port names and preselects the bound port's name.
// Picking an entry changes the bound port only with AutoApply on; the port
// dialog keeps it off and opens the chosen port itself.
#include <QComboBox>
#include <QString>

namespace kv9 {
class TCustomComPort;
}

enum TComProperty { cpNone, cpPort };

class TComComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TComComboBox(QWidget* parent = nullptr);

  TComProperty ComProperty() const { return comProperty_; }
  // cpPort: clears the items and fills them with kv9::EnumComPorts; the
  // first one is selected when there are items and no port is bound.
  // cpNone: no items.
  void SetComProperty(TComProperty property);

  // Binds `port` (not owned; it must outlive the binding, or be unbound with
  // nullptr first) and selects the item equal to its name, letter case
  // ignored, or no item when none is equal. The same port again does nothing.
  void SetComPort(kv9::TCustomComPort* port);
  kv9::TCustomComPort* ComPort() const { return comPort_; }

  // The selected item's text; empty when no item is selected.
  QString GetText() const;

  // When on, picking an item renames the bound port to it.
  bool AutoApply = false;

 private:
  void SelectPortName();
  void ItemPicked(int index);

  TComProperty comProperty_ = cpNone;
  kv9::TCustomComPort* comPort_ = nullptr;
};
