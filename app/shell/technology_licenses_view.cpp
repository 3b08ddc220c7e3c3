#include "app/shell/technology_licenses_view.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <QVBoxLayout>
#include <system_error>
#include <utility>

#include "app/kit/file_manager.h"
#include "app/style/style.h"
#include "core/common/program_files.h"

namespace quillmere {
namespace {

constexpr Qt::TextInteractionFlags kSelectable =
    Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;

QLabel* selectableText(const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(kSelectable);
    return label;
}

// A group box titled `title`, and its content: leading, padded 4 above and below, spacing 10.
// The title is a bold label at the top of the box, not the box's own title, which could not be
// selected.
std::pair<QGroupBox*, QVBoxLayout*> titledGroup(const QString& title) {
    auto* group = new QGroupBox;
    group->setAccessibleName(title);
    auto* content = new QVBoxLayout(group);
    content->setSpacing(10);
    content->setContentsMargins(8, 4, 8, 4);
    QLabel* heading = selectableText(title);
    heading->setFont(weighted(heading->font(), QFont::Bold));
    content->addWidget(heading);
    return {group, content};
}

// The libraries the executable links, in the order the window names them: LibRaw first, as the
// window names it apart from the libraries it runs with. resources/licenses holds their notices.
const QStringList& bundledComponentNames() {
    static const QStringList names{
        "LibRaw",
        "Qt",
        "Qt SVG",
        "Exiv2",
        "libjpeg-turbo",
        "libheif",
        "Little CMS",
        "OpenCV",
        "ONNX",
        "Protocol Buffers",
        "oneTBB",
        "OpenSSL",
        "ICU",
        "Expat",
        "{fmt}",
        "JSON for Modern C++",
        "the GCC runtime libraries",
        "the GNU C Library",
    };
    return names;
}

}  // namespace

TechnologyLicensesView::TechnologyLicensesView(std::vector<std::filesystem::path> licenseFolders,
                                               QWidget* parent)
    : QScrollArea(parent), licenseFolders_(std::move(licenseFolders)) {
    setWindowTitle(QStringLiteral("Technology & Licenses"));
    setMinimumSize(520, 460);
    resize(620, 600);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);

    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setSpacing(20);
    stack->setContentsMargins(24, 24, 24, 24);

    auto* header = new QVBoxLayout;
    header->setSpacing(6);
    QLabel* title = selectableText(QStringLiteral("Quillmere"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel* subtitle = selectableText(
        QStringLiteral("RAW processing technology and third-party acknowledgements"));
    setTextTone(*subtitle, TextTone::secondary);
    header->addWidget(title);
    header->addWidget(subtitle);
    stack->addLayout(header);

    stack->addWidget(technologyGroup(
        QStringLiteral("Natural — LibRaw with Quillmere noise reduction"),
        QStringLiteral(
            "Natural develops RAW files with LibRaw, which demosaics the sensor data and converts "
            "its colours, after Quillmere's own noise reduction has filtered the sensor data with "
            "the noise measured in the file itself. “Natural” is Quillmere's name for this "
            "integration and its intensity control."),
        QStringLiteral("LibRaw"), QStringLiteral("https://www.libraw.org/")));
    stack->addWidget(technologyGroup(
        QStringLiteral("Detail — MatchFilter"),
        QStringLiteral(
            "Detail runs Quillmere's own MatchFilter model, a noise-adaptive local filter written "
            "as an ONNX network, locally with the deep neural network module of OpenCV, in "
            "overlapping tiles over the sensor data. Quillmere adds RAW loading, noise "
            "estimation, tiled processing and the intensity control. The model has no trained "
            "weights: it was not trained on user photos or on any other photos."),
        QStringLiteral("OpenCV"), QStringLiteral("https://opencv.org/")));
    stack->addWidget(componentsGroup());
    stack->addStretch();
    setWidget(content);
}

std::vector<std::filesystem::path> TechnologyLicensesView::defaultLicenseFolders() {
    if (const std::optional<ProgramFiles>& files = ProgramFiles::forProcess()) {
        return {files->licenses};
    }
    return {};
}

QGroupBox* TechnologyLicensesView::technologyGroup(const QString& title, const QString& text,
                                                   const QString& linkTitle,
                                                   const QString& linkURL) {
    auto [group, content] = titledGroup(title);
    content->addWidget(selectableText(text));
    const QUrl url(linkURL, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty()) {
        auto* link = new QLabel("<a href=\"" + url.toString(QUrl::FullyEncoded).toHtmlEscaped() +
                                "\">" + linkTitle.toHtmlEscaped() + "</a>");
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::TextBrowserInteraction);
        link->setOpenExternalLinks(true);
        link->setObjectName(QStringLiteral("link"));
        content->addWidget(link);
    }
    return group;
}

std::optional<std::filesystem::path> TechnologyLicensesView::licensesURL() const {
    for (const std::filesystem::path& folder : licenseFolders_) {
        std::error_code error;
        if (std::filesystem::exists(folder, error)) return folder;
    }
    return std::nullopt;
}

QGroupBox* TechnologyLicensesView::componentsGroup() {
    // "Qt, Exiv2, ... and the GNU C Library", after LibRaw.
    const QStringList& names = bundledComponentNames();
    const QString dependencies = names.mid(1, names.size() - 2).join(", ") + " and " + names.last();
    auto [group, content] = titledGroup(QStringLiteral("Other bundled components"));
    content->addWidget(selectableText(
        "The application distribution also includes LibRaw and its runtime dependencies: " +
        dependencies +
        ". Their complete copyright and license notices are shipped with the application."));
    revealButton_ = new QPushButton(QStringLiteral("Show Full License Files in File Manager"));
    revealButton_->setObjectName(QStringLiteral("showLicenseFiles"));
    connect(revealButton_, &QPushButton::clicked, this, &TechnologyLicensesView::revealLicenses);
    content->addWidget(revealButton_, 0, Qt::AlignLeading);
    return group;
}

void TechnologyLicensesView::showEvent(QShowEvent* event) {
    // The folder may have come or gone since the window was last shown.
    revealButton_->setVisible(licensesURL().has_value());
    QScrollArea::showEvent(event);
}

void TechnologyLicensesView::revealLicenses() {
    if (const auto folder = licensesURL()) FileManager::reveal({*folder});
}

}  // namespace quillmere
