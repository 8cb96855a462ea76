#include "uMainForm/Tfm_ServerWnd.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>
#include <utility>

#include "uErrLog/uErrLog.h"

#ifndef ORBANTIS_VERSION
#define ORBANTIS_VERSION "0.0.0"
#endif
#ifndef ORBANTIS_BUILD
#define ORBANTIS_BUILD "0"
#endif

namespace orbantis::ui {

const QString Tfm_ServerWnd::kTitle = QStringLiteral("ORBANTIS");
const QString Tfm_ServerWnd::kPublisher = QStringLiteral("Orbantis Software");
const QString Tfm_ServerWnd::kProductLine = QStringLiteral("ORBANTIS fiscal printer server");
const QString Tfm_ServerWnd::kComments = QStringLiteral("For questions and additional information:");
const QString Tfm_ServerWnd::kSupportAddress = QStringLiteral("support@orbantis.example");
const QString Tfm_ServerWnd::kSalesAddress = QStringLiteral("sales@orbantis.example");
const QString Tfm_ServerWnd::kNotice = QStringLiteral("Provided as is, without warranty of any kind.");
const QString Tfm_ServerWnd::kMailSubject = QStringLiteral("Question about ORBANTIS Server");
const QString Tfm_ServerWnd::kExitCaption = QStringLiteral("COM Server Warning");
// Kept word for word, the two blanks after the first sentence included:
// operators and support staff know this question by its text.
const QString Tfm_ServerWnd::kExitQuestion = QStringLiteral(
    "There are still active COM objects in this application.  One or more clients may have references to these "
    "objects, so manually closing "
    "this application may cause those client application(s) to fail.\r\n\r\n"
    "Are you sure you want to close this application?");
const QString Tfm_ServerWnd::kCreationFaultPrefix = QStringLiteral("Exception in TfmServerWnd.FormCreate metod : ");

namespace {

// The about box's client area; its texts may need more on large fonts.
constexpr QSize kClientSize(342, 194);

// A receipt: the program's icon in the tray and on the about box. Drawn here
// so the executable carries no image files.
QIcon serverIcon() {
  QIcon icon;
  for (int size : {16, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 16.0;
    painter.setPen(QPen(QColor(40, 40, 40), u));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(3 * u, 1 * u, 10 * u, 14 * u));
    painter.setPen(QPen(QColor(0, 90, 160), u));
    for (int line = 0; line < 3; ++line)
      painter.drawLine(QPointF(5 * u, (5 + 3 * line) * u), QPointF(11 * u, (5 + 3 * line) * u));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QFrame* bevel(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// A contact address that opens a mail to it when clicked with the left button.
class ContactLabel : public QLabel {
 public:
  ContactLabel(const QString& address, std::function<void(const QString&)> onClick, QWidget* parent)
      : QLabel(address, parent), FOnClick(std::move(onClick)) {
    QFont font = this->font();
    font.setBold(true);
    font.setUnderline(true);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    setPalette(palette);
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    // Taking the press keeps the release for this label.
    if (event->button() == Qt::LeftButton)
      event->accept();
    else
      QLabel::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    // Released outside the label: the user changed their mind.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
      event->accept();
      FOnClick(text());
      return;
    }
    QLabel::mouseReleaseEvent(event);
  }

 private:
  std::function<void(const QString&)> FOnClick;
};

int versionPart(const QStringList& parts, int index) {
  if (index >= parts.size()) return 0;
  bool ok = false;
  const int value = parts[index].trimmed().toInt(&ok);
  return ok && value >= 0 ? value : 0;
}

// Resets a flag when the scope ends, also by a fault.
struct FlagScope {
  explicit FlagScope(bool& flag) : FFlag(flag) { FFlag = true; }
  ~FlagScope() { FFlag = false; }
  bool& FFlag;
};

}  // namespace

FileVersion ParseFileVersion(const QString& version, const QString& build) {
  const QStringList parts = version.trimmed().split(QLatin1Char('.'));
  FileVersion result;
  result.major = versionPart(parts, 0);
  result.minor = versionPart(parts, 1);
  result.release = versionPart(parts, 2);
  const QString buildText = build.trimmed();
  result.build = buildText.isEmpty() ? versionPart(parts, 3) : versionPart(QStringList{buildText}, 0);
  return result;
}

FileVersion ProgramFileVersion() {
  return ParseFileVersion(QStringLiteral(ORBANTIS_VERSION), QStringLiteral(ORBANTIS_BUILD));
}

Tfm_ServerWnd::Tfm_ServerWnd(Hooks hooks)
    // A tool window: the about box gets no taskbar button of its own. Title
    // bar with the close button only, no minimise or maximise.
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      FHooks(std::move(hooks)) {
  if (!FHooks.quit) FHooks.quit = [] { QCoreApplication::quit(); };
  if (!FHooks.openLink)
    FHooks.openLink = [](const QString& link) { QDesktopServices::openUrl(QUrl(link, QUrl::TolerantMode)); };
  if (!FHooks.presenter) FHooks.presenter = DefaultMessagePresenter();
  if (!FHooks.errSupportSetUp) FHooks.errSupportSetUp = &orbantis::INIT_ERR_SUPPORT;

  // There is no process-wide decimal separator to fix here: every number the
  // printer commands format or parse goes through locale-independent
  // conversions, so the desktop's locale cannot reach the wire.
  setObjectName(QStringLiteral("Tfm_ServerWnd"));
  setWindowTitle(kTitle + QStringLiteral(" (") + kPublisher + QStringLiteral(")"));
  setWindowIcon(serverIcon());
  buildControls();
  buildTray();
  setUpErrSupport();
}

Tfm_ServerWnd::~Tfm_ServerWnd() {
  if (FTrayIcon != nullptr) FTrayIcon->hide();
}

void Tfm_ServerWnd::buildControls() {
  auto* layout = new QVBoxLayout(this);

  FProductName = new QLabel(kProductLine, this);
  FProductName->setObjectName(QStringLiteral("ProductName"));
  QFont productFont = FProductName->font();
  productFont.setBold(true);
  productFont.setItalic(true);
  productFont.setPointSizeF(productFont.pointSizeF() * 1.25);
  FProductName->setFont(productFont);
  layout->addWidget(FProductName);

  auto* versionRow = new QHBoxLayout;
  versionRow->setSpacing(0);
  FLbVers = new QLabel(this);
  FLbVers->setObjectName(QStringLiteral("lb_Vers"));
  FLbBuildNumb = new QLabel(this);
  FLbBuildNumb->setObjectName(QStringLiteral("lb_BuildNumb"));
  QFont buildFont = FLbBuildNumb->font();
  buildFont.setBold(true);
  FLbBuildNumb->setFont(buildFont);
  versionRow->addWidget(FLbVers);
  versionRow->addWidget(FLbBuildNumb);
  versionRow->addStretch();
  layout->addLayout(versionRow);

  layout->addWidget(bevel(this));
  auto* comments = new QLabel(kComments, this);
  comments->setObjectName(QStringLiteral("Comments"));
  layout->addWidget(comments);
  const auto open = [this](const QString& address) { OpenContact(address); };
  auto* support = new ContactLabel(kSupportAddress, open, this);
  support->setObjectName(QStringLiteral("ContactLink1"));
  layout->addWidget(support);
  auto* sales = new ContactLabel(kSalesAddress, open, this);
  sales->setObjectName(QStringLiteral("ContactLink2"));
  layout->addWidget(sales);

  layout->addWidget(bevel(this));
  auto* notice = new QLabel(kNotice, this);
  notice->setObjectName(QStringLiteral("Notice"));
  layout->addWidget(notice);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  FOKButton = new QPushButton(QStringLiteral("OK"), this);
  FOKButton->setObjectName(QStringLiteral("OKButton"));
  FOKButton->setDefault(true);
  // accept() only hides a dialog: the window stays for the next "About...".
  connect(FOKButton, &QPushButton::clicked, this, [this] { accept(); });
  buttonRow->addWidget(FOKButton);
  buttonRow->addStretch();
  layout->addLayout(buttonRow);

  // The labels hold their texts before the first show so the size fits them.
  showVersion();
  setFixedSize(sizeHint().expandedTo(kClientSize));
}

void Tfm_ServerWnd::buildTray() {
  // The menu exists even where no icon can carry it.
  FPopupMenu1 = new QMenu(this);
  FPopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* open1 =
      FPopupMenu1->addAction(style()->standardIcon(QStyle::SP_MessageBoxInformation), QStringLiteral("About..."));
  open1->setObjectName(QStringLiteral("Open1"));
  connect(open1, &QAction::triggered, this, [this] { About(); });
  QAction* n1 = FPopupMenu1->addSeparator();
  n1->setObjectName(QStringLiteral("N1"));
  QAction* exit1 = FPopupMenu1->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Exit"));
  exit1->setObjectName(QStringLiteral("Exit1"));
  connect(exit1, &QAction::triggered, this, [this] { Exit(); });

  if (!HasDisplay()) return;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    // A desktop without a notification area: say so where support looks,
    // since the user sees no icon and no way to Exit but a signal.
    try {
      WRITE_EXE_LOG("No notification area on this desktop: the server runs without its tray icon.");
    } catch (...) {
    }
    return;
  }
  FTrayIcon = new QSystemTrayIcon(serverIcon(), this);
  FTrayIcon->setToolTip(kTitle);
  // Owned by the icon, the menu opens on the right button at the cursor,
  // also where the notification area runs in another process and shows the
  // menu itself.
  FTrayIcon->setContextMenu(FPopupMenu1);
  connect(FTrayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) { TrayActivated(reason); });
  FTrayIcon->show();
}

void Tfm_ServerWnd::setUpErrSupport() {
  // The shared boxes get their owner and caption before anything can fail.
  CreateMyDialogs(this, kTitle);
  try {
    FHooks.errSupportSetUp(static_cast<QWidget*>(this), kTitle.toStdString(), UserDocumentsFolder(), UserDataFolder());
  } catch (const std::exception& e) {
    FCreationFault = kCreationFaultPrefix + QString::fromStdString(e.what());
  } catch (...) {
    FCreationFault = kCreationFaultPrefix + QStringLiteral("unknown fault");
  }
  if (FCreationFault.isEmpty()) return;
  // The window, its tray icon and the server carry on; the user is told, and
  // the program-side log keeps it for a server that has no display to tell.
  try {
    WRITE_EXE_LOG(FCreationFault.toStdString());
  } catch (...) {
  }
  QMessageBox box(QMessageBox::Critical, kTitle, FCreationFault, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  present(box);
}

QMessageBox::StandardButton Tfm_ServerWnd::present(QMessageBox& box) { return FHooks.presenter(box); }

void Tfm_ServerWnd::showVersion() {
  const FileVersion version = FHooks.fileVersion.value_or(ProgramFileVersion());
  FLbVers->setText(QStringLiteral("Version: %1.%2.%3").arg(version.major).arg(version.minor).arg(version.release));
  FLbBuildNumb->setText(QStringLiteral(".%1").arg(version.build));
}

void Tfm_ServerWnd::showEvent(QShowEvent* event) {
  // Read each time the box is shown: it always states the running program.
  showVersion();
  QDialog::showEvent(event);
}

void Tfm_ServerWnd::About() {
  if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  activateWindow();
}

bool Tfm_ServerWnd::Exit() {
  // The tray menu stays reachable while the question is open; one question
  // at a time.
  if (FAsking) return false;
  const int alive = FHooks.activeObjects ? FHooks.activeObjects() : 0;
  if (alive > 0) {
    // Clients holding objects would lose them with the process: the user
    // must say Yes on purpose, so No is the default and Enter keeps running.
    QMessageBox box(QMessageBox::Warning, kExitCaption, kExitQuestion, QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    {
      FlagScope asking(FAsking);
      answer = present(box);
    }
    // Asked before anything is torn down, so No leaves the icon in place.
    if (answer != QMessageBox::Yes) return false;
  }
  if (FTrayIcon != nullptr) FTrayIcon->hide();
  hide();
  FHooks.quit();
  return true;
}

QString Tfm_ServerWnd::MailtoLink(const QString& address) {
  return QStringLiteral("mailto:") + address + QStringLiteral("?Subject=") + kMailSubject + QStringLiteral("&Body=") +
         QStringLiteral(" %0D%0A") + QStringLiteral(" %0D%0A");
}

void Tfm_ServerWnd::OpenContact(const QString& address) { FHooks.openLink(MailtoLink(address)); }

void Tfm_ServerWnd::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
  // The right button is served by the icon's context menu. The other clicks
  // are inert on purpose: a stray tap on a point-of-sale screen must not put
  // a window over the till.
  Q_UNUSED(reason);
}

}  // namespace orbantis::ui
