#include "uLogo/TLogoForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace orbantis::logo {
namespace {

// Layout in dots of the client area.
constexpr int kClientWidth = 606;
constexpr int kClientHeight = 173;
constexpr int kBarHeight = 5;
constexpr int kButtonWidth = 106;
constexpr int kButtonHeight = 33;
constexpr int kButtonGap = 15;
constexpr int kPanelWidth = kPictureWidth + 16;
constexpr int kPanelHeight = kPictureHeight + 6;
constexpr int kPanelTop = 10;

// 24-bit colour values of the design (red in the low byte).
constexpr std::uint32_t kBarColour = 0xAEFFAE;
constexpr std::uint32_t kBarBackground = 0xFFBB77;
constexpr std::uint32_t kPanelColour = 0xF5F5F5;

QColor FromColourValue(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

const QString kOpenFilter =
    QStringLiteral("All pictures (*.png *.jpg *.jpeg *.bmp);;PNG (*.png);;JPEG Image File (*.jpg *.jpeg);;Bitmaps (*.bmp)");
const QString kSaveFilter = QStringLiteral("Bitmaps (*.bmp)");

}  // namespace

TfmSetGetLogo::TfmSetGetLogo(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("TfmSetGetLogo"));
  setWindowTitle(QStringLiteral("Get/Set logo"));
  setModal(true);
  buildControls();
  FTimer.setInterval(10);
  connect(&FTimer, &QTimer::timeout, this, &TfmSetGetLogo::onTimer);
}

TfmSetGetLogo::~TfmSetGetLogo() {
  // The transfer thread uses the printer object and this form's transfer;
  // neither may go while it runs.
  if (FThread) {
    FThread->wait();
    delete FThread;
    FThread = nullptr;
  }
}

void TfmSetGetLogo::buildControls() {
  setFixedSize(kClientWidth, kClientHeight);

  auto* group = new QGroupBox(this);
  group->setObjectName(QStringLiteral("gbLogo"));
  group->setGeometry(0, 0, kClientWidth, kClientHeight - kBarHeight);

  auto* panel = new QFrame(group);
  panel->setObjectName(QStringLiteral("pnlImage"));
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setGeometry((kClientWidth - kPanelWidth) / 2, kPanelTop, kPanelWidth, kPanelHeight);
  panel->setAutoFillBackground(true);
  QPalette panelPalette = panel->palette();
  panelPalette.setColor(QPalette::Window, FromColourValue(kPanelColour));
  panel->setPalette(panelPalette);

  FImage = new QLabel(panel);
  FImage->setObjectName(QStringLiteral("imgLogo"));
  FImage->setGeometry((kPanelWidth - kPictureWidth) / 2, (kPanelHeight - kPictureHeight) / 2, kPictureWidth,
                      kPictureHeight);
  FImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  const int buttonsTop = kPanelTop + kPanelHeight + 9;
  int left = (kClientWidth - kPanelWidth) / 2;
  auto addButton = [&](const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), group);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, buttonsTop, kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    left += kButtonWidth + kButtonGap;
    return button;
  };
  FLoadFromFile = addButton("btnLoadFromFile", "Load from file");
  FSaveToFile = addButton("btnSaveToFile", "Save to file");
  FLoadFromPrinter = addButton("btnLoadFromPrinter", "Load from printer");
  FSaveToPrinter = addButton("btnSaveToPrinter", "Save to printer");
  FClose = addButton("btnClose", "&Close");
  FLoadFromPrinter->setDefault(true);

  connect(FLoadFromFile, &QPushButton::clicked, this, &TfmSetGetLogo::LoadFromFileClick);
  connect(FSaveToFile, &QPushButton::clicked, this, &TfmSetGetLogo::SaveToFileClick);
  connect(FLoadFromPrinter, &QPushButton::clicked, this, &TfmSetGetLogo::LoadFromPrinterClick);
  connect(FSaveToPrinter, &QPushButton::clicked, this, &TfmSetGetLogo::SaveToPrinterClick);
  connect(FClose, &QPushButton::clicked, this, &QDialog::reject);

  FBar = new QProgressBar(this);
  FBar->setObjectName(QStringLiteral("pbProgress"));
  FBar->setGeometry(0, kClientHeight - kBarHeight, kClientWidth, kBarHeight);
  FBar->setRange(0, 100);
  FBar->setValue(0);
  FBar->setTextVisible(false);
  FBar->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: %1; }"
                                     "QProgressBar::chunk { background: %2; }")
                          .arg(FromColourValue(kBarBackground).name(), FromColourValue(kBarColour).name()));
}

// ---------------------------------------------------------------- showing

void TfmSetGetLogo::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!FCentred) {
    FCentred = true;
    if (QScreen* s = screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(s->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  if (!FBroughtToFront) FTimer.start();
}

// A window opened from a background service easily ends up behind the
// client's own window: it is put on top once, and left there only when the
// client asked for it.
void TfmSetGetLogo::onTimer() {
  FTimer.stop();
  FBroughtToFront = true;
  setOnTop(true);
  raise();
  activateWindow();
  if (!toStayOnTop) {
    setOnTop(false);
    raise();
    activateWindow();
  }
  emit broughtToFront();
}

// Through the native window: changing the widget's own flags would hide it,
// and hiding a dialog ends its modal loop.
void TfmSetGetLogo::setOnTop(bool on) {
  if (QWindow* window = windowHandle()) window->setFlag(Qt::WindowStaysOnTopHint, on);
}

void TfmSetGetLogo::done(int result) {
  if (busy()) return;
  QDialog::done(result);
}

void TfmSetGetLogo::refreshImage() { FImage->setPixmap(QPixmap::fromImage(FShown)); }

void TfmSetGetLogo::setTransferButtonsEnabled(bool enabled) {
  FLoadFromFile->setEnabled(enabled);
  FSaveToFile->setEnabled(enabled);
  FLoadFromPrinter->setEnabled(enabled);
  FSaveToPrinter->setEnabled(enabled);
}

// ---------------------------------------------------------------- printer transfers

void TfmSetGetLogo::LoadFromPrinterClick() { startTransfer(Transfer::Read); }

void TfmSetGetLogo::SaveToPrinterClick() { startTransfer(Transfer::Write); }

void TfmSetGetLogo::startTransfer(Transfer kind) {
  if (busy()) return;
  setTransferButtonsEnabled(false);
  if (kind == Transfer::Read) {
    FTransfer.clearLogo();
    FShown = ToImage(FTransfer.picture());
    refreshImage();
  }
  LogoTransfer::Observer observer;
  observer.progressChanged = [this](int position) {
    QMetaObject::invokeMethod(this, [this, position] { FBar->setValue(position); }, Qt::QueuedConnection);
  };
  observer.rowRead = [this](int row, const LogoRow& bits) {
    QMetaObject::invokeMethod(
        this,
        [this, row, bits] {
          PaintRow(FShown, row, bits);
          if (isVisible()) refreshImage();
        },
        Qt::QueuedConnection);
  };
  FTransfer.setObserver(std::move(observer));
  FResult = false;
  FThread = QThread::create([this, kind] {
    FResult = kind == Transfer::Read ? FTransfer.readLogoRows() : FTransfer.writeLogoRows();
  });
  connect(FThread, &QThread::finished, this, &TfmSetGetLogo::onTransferDone, Qt::QueuedConnection);
  FThread->start();
}

void TfmSetGetLogo::onTransferDone() {
  if (!FThread) return;
  FThread->wait();
  delete FThread;
  FThread = nullptr;
  FTransfer.setObserver({});
  FShown = ToImage(FTransfer.picture());
  FBar->setValue(FTransfer.progressPosition());
  setTransferButtonsEnabled(true);
  refreshImage();
  emit transferFinished(FResult);
}

std::int32_t TfmSetGetLogo::getLogoFromPrinterToFile() {
  if (busy()) return LOGO_EXCEPTION;
  const std::int32_t result = FTransfer.getLogoFromPrinterToFile();
  FShown = ToImage(FTransfer.picture());
  if (thread() == QThread::currentThread()) refreshImage();
  return result;
}

std::int32_t TfmSetGetLogo::saveLogoFromFileToPrinter() {
  if (busy()) return LOGO_EXCEPTION;
  const std::int32_t result = FTransfer.saveLogoFromFileToPrinter();
  FShown = ToImage(FTransfer.picture());
  if (thread() == QThread::currentThread()) refreshImage();
  return result;
}

// ---------------------------------------------------------------- files

void TfmSetGetLogo::LoadFromFileClick() {
  if (busy()) return;
  FLoadFromFile->setEnabled(false);
  const QString fileName = choosePictureToOpen(QCoreApplication::applicationDirPath());
  if (!fileName.isEmpty()) {
    if (!FTransfer.loadPictureFromFile(fileName.toStdString()))
      tellUser(QStringLiteral("%1 is not a picture that can be read.").arg(fileName));
    FShown = ToImage(FTransfer.picture());
    refreshImage();
  }
  FLoadFromFile->setEnabled(true);
}

void TfmSetGetLogo::SaveToFileClick() {
  if (busy()) return;
  FTransfer.setLogoFileName({});
  QString folder = QString::fromStdString(FTransfer.targetFolder());
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    FTransfer.setTargetFolder({});
    folder = QCoreApplication::applicationDirPath();
  }
  const QString chosen = chooseFileToSave(folder);
  if (chosen.isEmpty()) return;
  const QString fileName = QString::fromStdString(WithBitmapSuffix(chosen.toStdString()));
  // The dialog asked about the name the user typed; a name that only now
  // gets its ".bmp" may hit a file the user was never asked about.
  if (fileName != chosen && QFileInfo::exists(fileName) && !confirmOverwrite(fileName)) return;
  FTransfer.setLogoFileName(fileName.toStdString());
  if (!FTransfer.saveLogoToFile()) tellUser(QStringLiteral("The logo could not be saved to %1.").arg(fileName));
}

QString TfmSetGetLogo::choosePictureToOpen(const QString& folder) {
  return QFileDialog::getOpenFileName(this, QString(), folder, kOpenFilter);
}

QString TfmSetGetLogo::chooseFileToSave(const QString& folder) {
  return QFileDialog::getSaveFileName(this, QString(), folder, kSaveFilter);
}

bool TfmSetGetLogo::confirmOverwrite(const QString& fileName) {
  return QMessageBox::question(this, windowTitle(),
                               QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(fileName),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TfmSetGetLogo::tellUser(const QString& text) { QMessageBox::warning(this, windowTitle(), text); }

}  // namespace orbantis::logo
