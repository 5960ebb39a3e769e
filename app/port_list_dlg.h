#pragma once
// TPortListDlg, "ポートの確認": the Linux stand-in for the system's device
// manager that the port dialogs' "ポートの確認..." buttons opened. Lists
// every port of the port table (serial/port_table.h) with its device path
// and, where the system knows it, the adapter's description.
#include <QDialog>
#include <vector>

#include "serial/port_table.h"

class QLabel;
class QPushButton;
class QTableWidget;

class TPortListDlg : public QDialog {
  Q_OBJECT
 public:
  // Filled from kv9::ReadPortTable() (KV9_PORT_DIR included).
  explicit TPortListDlg(QWidget* parent = nullptr);

  // Replaces the listed ports.
  void SetPorts(const std::vector<kv9::PortEntry>& ports);

  QLabel* Label1;
  QTableWidget* LVPorts;  // columns: port name, device path, description
  QPushButton* CloseBtn;
};

// Opens the port listing modally over `parent`; returns when it is closed.
void ShowPortListDialog(QWidget* parent);
