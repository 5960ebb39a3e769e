#pragma once
#include <QDialog>

class QLabel;

// "ﾊﾞｰｼﾞｮﾝ情報": product name and version; made at start, lives until the end.
class TAboutBox : public QDialog {
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QLabel* ProductName;
  QLabel* Version;

 private:
  void FormCreate();
};

// The product version of the program, "1.0.8.4".
QString GetProductVersion();
