#include "memorymapwindow.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "hextext.h"
#include "mapcolours.h"
#include "mapsource.h"
#include "memorymapbar.h"
#include "memorymaptext.h"
#include "windowplacement.h"

namespace {

QString noLimit()
{
    return QStringLiteral("без ограничения");
}

void watchModel(QAbstractItemModel *model, const std::function<void()> &changed, QObject *context)
{
    QObject::connect(model, &QAbstractItemModel::rowsInserted, context, changed);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, context, changed);
    QObject::connect(model, &QAbstractItemModel::modelReset, context, changed);
}

// The size as the user should read it back: "= 256 КиБ", "= 256 байт".
QString understoodSize(quint64 size)
{
    constexpr quint64 KiB = 1024;
    constexpr quint64 MiB = 1024 * KiB;
    if (size >= MiB && size % MiB == 0)
        return QStringLiteral("= %1 МиБ").arg(size / MiB);
    if (size >= KiB && size % KiB == 0)
        return QStringLiteral("= %1 КиБ").arg(size / KiB);
    return QStringLiteral("= %1 байт").arg(size);
}

bool meansNoLimit(const QString &text)
{
    return text.trimmed().isEmpty() || text == noLimit();
}

// The title and the summary, the sentence saying the image does not fit in the warning colour.
QString summaryHtml(const MemoryMap &map)
{
    const QString overflow = MemoryMapText::overflowLine(map);
    QStringList lines{map.title.toHtmlEscaped()};
    for (const QString &line : MemoryMapText::summaryLines(map)) {
        lines << (line == overflow ? QStringLiteral("<span style=\"color: %1\">%2</span>")
                                         .arg(MapColours::beyondFlash(), line.toHtmlEscaped())
                                   : line.toHtmlEscaped());
    }
    return lines.join(QStringLiteral("<br>"));
}

} // namespace

MemoryMapWindow::MemoryMapWindow(QTabWidget *tabs, const QList<MapSource *> &sources)
    : QWidget(nullptr), m_tabs(tabs), m_sources(sources)
{
    setObjectName(QStringLiteral("MemoryMapWindow"));
    setWindowTitle(QStringLiteral("Карта памяти"));
    resize(900, 560);
    // The bars' ranges are read while working in the main window, with this one inactive beside it.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    createFlashWidgets();
    createMapWidgets();
    layOut();
    connectSignals();
}

void MemoryMapWindow::createFlashWidgets()
{
    m_flashSize = new QComboBox(this);
    m_flashSize->setObjectName(QStringLiteral("MemoryMapFlashSize"));
    m_flashSize->setEditable(true);
    m_flashSize->setInsertPolicy(QComboBox::NoInsert);
    m_flashSize->addItem(noLimit());
    for (const quint64 size : FlashSize::common())
        m_flashSize->addItem(FlashSize::caption(size));
    m_flashSize->setToolTip(QStringLiteral("Размер флеш-памяти платы: выберите или введите шестнадцатеричное "
                                           "число байт (40000 или 0x40000)"));
    m_flashBaseLabel = new QLabel(QStringLiteral("Начало:"), this);
    m_flashBase = new QLineEdit(this);
    m_flashBase->setObjectName(QStringLiteral("MemoryMapFlashBase"));
    m_flashBase->setPlaceholderText(HexText::address(DefaultFlashBase));
    m_flashUnderstood = new QLabel(this);
    m_flashUnderstood->setObjectName(QStringLiteral("MemoryMapFlashUnderstood"));
    m_flashError = new QLabel(this);
    m_flashError->setObjectName(QStringLiteral("MemoryMapFlashError"));
    m_flashError->setStyleSheet(QStringLiteral("color: %1").arg(MapColours::overlap()));
}

void MemoryMapWindow::createMapWidgets()
{
    m_image = new QComboBox(this);
    m_image->setObjectName(QStringLiteral("MemoryMapImage"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("MemoryMapSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextFormat(Qt::RichText);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bar = new MemoryMapBar(this);
    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("MemoryMapTable"));
    m_table->setColumnCount(int(MemoryMapText::columns().size()));
    m_table->setHorizontalHeaderLabels(MemoryMapText::columns());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_problems = new QLabel(this);
    m_problems->setObjectName(QStringLiteral("MemoryMapProblems"));
    m_problems->setWordWrap(true);
    m_problems->setStyleSheet(QStringLiteral("color: %1").arg(MapColours::beyondFlash()));
    m_copy = new QPushButton(QStringLiteral("Копировать таблицу"), this);
    m_copy->setObjectName(QStringLiteral("MemoryMapCopy"));
}

void MemoryMapWindow::layOut()
{
    auto *flashRow = new QHBoxLayout;
    flashRow->addWidget(new QLabel(QStringLiteral("Флеш-память:"), this));
    flashRow->addWidget(m_flashSize);
    flashRow->addWidget(m_flashUnderstood);
    flashRow->addWidget(m_flashBaseLabel);
    flashRow->addWidget(m_flashBase);
    flashRow->addWidget(m_flashError, 1);
    flashRow->addWidget(m_image);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(flashRow);
    layout->addWidget(m_summary);
    layout->addWidget(m_bar);
    layout->addWidget(m_problems);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_copy, 0, Qt::AlignRight);
}

void MemoryMapWindow::connectSignals()
{
    // Typing an offset redraws once the key is handled, not once per signal it causes.
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &MemoryMapWindow::refresh);
    for (int page = 0; page < m_tabs->count(); ++page)
        watch(m_tabs->widget(page));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        showFlashOfSource();
        scheduleRefresh();
    });
    connect(m_flashSize, &QComboBox::currentTextChanged, this, &MemoryMapWindow::flashSizeEdited);
    connect(m_flashBase, &QLineEdit::textEdited, this, &MemoryMapWindow::flashBaseEdited);
    connect(m_image, &QComboBox::currentIndexChanged, this, &MemoryMapWindow::showMap);
    connect(m_copy, &QPushButton::clicked, this, &MemoryMapWindow::copyTable);
}

void MemoryMapWindow::copyTable()
{
    const int index = m_image->currentIndex();
    if (index >= 0 && index < m_maps.maps.size())
        QGuiApplication::clipboard()->setText(MemoryMapText::tabSeparatedTable(m_maps.maps.at(index)));
}

MapSource *MemoryMapWindow::currentSource() const
{
    return m_sources.value(m_tabs->currentIndex(), nullptr);
}

void MemoryMapWindow::watch(QWidget *page)
{
    const auto changed = [this] {
        scheduleRefresh();
    };
    for (QLineEdit *edit : page->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textChanged, this, changed);
    for (QComboBox *combo : page->findChildren<QComboBox *>())
        connect(combo, &QComboBox::currentTextChanged, this, changed);
    for (QAbstractButton *button : page->findChildren<QAbstractButton *>()) {
        if (button->isCheckable())
            connect(button, &QAbstractButton::toggled, this, changed);
    }
    // The LoRa tab's found-file lists change when a directory is searched again.
    for (QTreeWidget *tree : page->findChildren<QTreeWidget *>())
        watchModel(tree->model(), changed, this);
}

void MemoryMapWindow::scheduleRefresh()
{
    if (isVisible())
        m_refreshTimer.start();
}

void MemoryMapWindow::showFor(QWidget *beside)
{
    showFlashOfSource();
    refresh();
    if (!isVisible() && beside)
        WindowPlacement::placeBeside(this, beside);
    show();
    raise();
    activateWindow();
}

void MemoryMapWindow::showFlashOfSource()
{
    MapSource *source = currentSource();
    if (!source)
        return;
    const QSignalBlocker sizeBlocker(m_flashSize);
    const QString stored = source->flashSize();
    const std::optional<quint64> size = FlashSize::parse(stored);
    m_flashSize->setCurrentText(size ? FlashSize::caption(*size) : stored.isEmpty() ? noLimit() : stored);
    judgeFlashSize(m_flashSize->currentText());
    m_flashBaseLabel->setVisible(source->hasFlashBase());
    m_flashBase->setVisible(source->hasFlashBase());
    m_flashBase->setText(source->flashBase());
}

// Shows the size the text stands for, or that it stands for none.
void MemoryMapWindow::judgeFlashSize(const QString &text)
{
    const std::optional<quint64> size = FlashSize::parse(text);
    const bool invalid = !size && !meansNoLimit(text);
    m_flashUnderstood->setText(size ? understoodSize(*size) : QString());
    m_flashError->setText(invalid ? QStringLiteral("Некорректный размер флеш-памяти") : QString());
}

void MemoryMapWindow::flashSizeEdited(const QString &text)
{
    MapSource *source = currentSource();
    if (!source)
        return;
    // A text that is no size is kept as typed, so that the map and "Сборка" name the field rather
    // than use a size typed earlier or half of this one.
    const std::optional<quint64> size = FlashSize::parse(text);
    source->setFlashSize(meansNoLimit(text) ? QString() : size ? FlashSize::text(*size) : text.trimmed());
    judgeFlashSize(text);
    scheduleRefresh();
}

void MemoryMapWindow::flashBaseEdited(const QString &text)
{
    MapSource *source = currentSource();
    if (!source)
        return;
    const std::optional<quint64> base = FlashBase::parse(text);
    if (!base) {
        m_flashError->setText(QStringLiteral("Некорректный адрес начала флеш-памяти"));
        return;
    }
    source->setFlashBase(text.trimmed().isEmpty() ? QString() : HexText::address(*base));
    judgeFlashSize(m_flashSize->currentText()); // a wrong size is still said
    scheduleRefresh();
}

void MemoryMapWindow::refresh()
{
    MapSource *source = currentSource();
    m_maps = source ? source->memoryMaps() : MemoryMapSet();
    const int previous = m_image->currentIndex();
    {
        const QSignalBlocker blocker(m_image);
        m_image->clear();
        for (const MemoryMap &map : m_maps.maps)
            m_image->addItem(map.title);
        // No maps (a field that names nothing drawable) leaves no entry to select.
        m_image->setCurrentIndex(m_maps.maps.isEmpty() ? -1
                                                       : qBound(0, previous, int(m_maps.maps.size()) - 1));
    }
    m_image->setVisible(m_maps.maps.size() > 1);
    m_problems->setText(m_maps.problems.join(QLatin1Char('\n')));
    m_problems->setVisible(!m_maps.problems.isEmpty());
    showMap(m_image->currentIndex());
}

void MemoryMapWindow::showMap(int index)
{
    const MemoryMap map = index >= 0 && index < m_maps.maps.size() ? m_maps.maps.at(index) : MemoryMap();
    const bool any = index >= 0 && index < m_maps.maps.size();
    m_summary->setText(any ? summaryHtml(map) : QString());
    m_bar->setMap(map);
    m_table->setRowCount(int(map.regions.size()));
    for (int row = 0; row < map.regions.size(); ++row) {
        const MemoryRegion &region = map.regions.at(row);
        const QStringList cells = MemoryMapText::row(map, region);
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells.at(column));
            item->setToolTip(MemoryMapText::rangeText(map, region));
            if (column == 0 && region.kind == MemoryRegion::Kind::Piece)
                item->setData(Qt::DecorationRole, QColor(MapColours::piece(region.pieces.value(0))));
            else if (column == 0 && region.kind == MemoryRegion::Kind::Overlap)
                item->setData(Qt::DecorationRole, QColor(MapColours::overlap()));
            m_table->setItem(row, column, item);
        }
    }
    m_table->resizeColumnsToContents();
}
