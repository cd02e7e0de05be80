#include "shell/frmVessels.h"

#include "ais/AisDecoder.h"
#include "ais/AisJson.h"
#include "ais/AisTexts.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace kelvane {

// --- The table ----------------------------------------------------------------

int VesselModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Vessels.Rows().size());
}

int VesselModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(VesselColumn::Count);
}

QVariant VesselModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(VesselColumn::Count))
        return {};
    return QString(ColumnTitle(static_cast<VesselColumn>(section)));
}

QVariant VesselModel::Display(const Vessel& v, VesselColumn column) const
{
    return QString::fromStdString(CellText(v, column, Station, Clock()));
}

QVariant VesselModel::SortKey(const Vessel& v, VesselColumn column) const
{
    const kelvane::SortKey key = CellSortKey(v, column, Station, Clock());
    return key.IsText ? QVariant(QString::fromStdString(key.Text)) : QVariant(key.Number);
}

QVariant VesselModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Vessel& v = Vessels.Rows()[static_cast<size_t>(index.row())];
    const auto column = static_cast<VesselColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole: return Display(v, column);
    case SortRole: return SortKey(v, column);
    case Qt::TextAlignmentRole:
        return LeftAligned(column) ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default: return {};
    }
}

void VesselModel::Heard(const AisRecord& message, std::string_view sentences, const MessageOrigin& origin)
{
    const bool known = Vessels.Find(message.Mmsi).has_value();
    const int rows = rowCount();
    if (!known)
        beginInsertRows({}, rows, rows);
    const auto row = static_cast<int>(Vessels.Heard(message, sentences, static_cast<char>(origin.Channel),
                                                    origin.LevelDb, origin.SnrDb, Clock()));
    if (!known)
        endInsertRows();
    else
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void VesselModel::Clear()
{
    beginResetModel();
    Vessels.Clear();
    endResetModel();
}

// --- The range plot ---------------------------------------------------------------

RangePlot::RangePlot(const VesselModel& model, QWidget* parent) : QWidget(parent), Model(model)
{
    setMouseTracking(true);
    setMinimumSize(240, 240);
}

std::optional<Position> RangePlot::Centre() const { return PlotCentre(Model.Table(), Model.Station); }

void RangePlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(250, 252, 255));
    Marks.clear();
    const QPointF middle(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0 - 24;
    const std::optional<Position> centre = Centre();
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(QRectF(0, 2, width(), 16), Qt::AlignHCenter, "N");
    if (!centre) {
        painter.drawText(rect(), Qt::AlignCenter, "No positions heard yet");
        return;
    }
    const double range = PlotRange(Model.Table(), *centre);
    const double scale = radius / range;
    // Range rings, a quarter of the range apart, with their distances.
    painter.setPen(QPen(QColor(180, 190, 205), 1));
    for (int ring = 1; ring <= 4; ++ring) {
        const double r = radius * ring / 4;
        painter.drawEllipse(middle, r, r);
        painter.drawText(QPointF(middle.x() + 3, middle.y() - r - 2),
                         QString::fromStdString(RingLabel(range * ring / 4)));
    }
    painter.drawLine(QPointF(middle.x(), middle.y() - radius), QPointF(middle.x(), middle.y() + radius));
    painter.drawLine(QPointF(middle.x() - radius, middle.y()), QPointF(middle.x() + radius, middle.y()));
    if (Model.Station) {
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(middle + QPointF(-5, 0), middle + QPointF(5, 0));
        painter.drawLine(middle + QPointF(0, -5), middle + QPointF(0, 5));
    } else {
        painter.setPen(QColor(150, 80, 0));
        painter.drawText(QRectF(4, height() - 20, width() - 8, 18), Qt::AlignLeft,
                         "No station position set: centred on the vessels' centroid");
    }
    // Each vessel a mark, its heading (or course) a short line; the older
    // its last message, the paler. Thousands of them: drawn without
    // antialiasing, which costs more than the rest of the plot.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double now = Model.Clock();
    const auto& rows = Model.Table().Rows();
    // Gathered by paleness, so that each shade is drawn in one go.
    constexpr int Shades = 8;
    std::array<QPainterPath, Shades> dots;
    std::array<std::vector<QLineF>, Shades> lines;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Vessel& v = rows[i];
        if (!v.Lat || !v.Lon)
            continue;
        const auto [east, north] = PlotOffset(*centre, {*v.Lat, *v.Lon});
        const QPointF at(middle.x() + east * scale, middle.y() - north * scale);
        const auto shade = static_cast<size_t>(std::lround(MarkStrength(v, now) * (Shades - 1)));
        dots[shade].addRect(QRectF(at.x() - 3, at.y() - 3, 6, 6));
        const std::optional<double> direction = MarkDirection(v);
        if (direction) {
            const double a = *direction * std::numbers::pi / 180;
            lines[shade].emplace_back(at, at + QPointF(14 * std::sin(a), -14 * std::cos(a)));
        }
        Marks.push_back({at, i});
    }
    for (size_t shade = 0; shade < Shades; ++shade) {
        QColor colour(20, 90, 200);
        colour.setAlphaF(static_cast<float>(std::max(0.15, static_cast<double>(shade) / (Shades - 1))));
        painter.fillPath(dots[shade], colour);
        painter.setPen(QPen(colour, 2));
        painter.drawLines(lines[shade].data(), static_cast<int>(lines[shade].size()));
    }
}

void RangePlot::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF where = event->position();
    const Mark* nearest = nullptr;
    double best = 8;
    for (const Mark& m : Marks) {
        const double d = std::hypot(m.At.x() - where.x(), m.At.y() - where.y());
        if (d <= best) {
            best = d;
            nearest = &m;
        }
    }
    const auto& rows = Model.Table().Rows();
    if (nearest == nullptr || nearest->Row >= rows.size()) {
        QToolTip::hideText();
        return;
    }
    const Vessel& v = rows[nearest->Row];
    QToolTip::showText(event->globalPosition().toPoint(),
                       QString::fromStdString(v.Name.value_or(std::to_string(v.Mmsi))), this);
}

// --- The window ---------------------------------------------------------------------

frmVessels::frmVessels(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle("Kelvane - Vessels");
    resize(1100, 620);
    Model = new VesselModel(this);
    Model->Clock = [] { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000; };
    Proxy = new QSortFilterProxyModel(this);
    Proxy->setSourceModel(Model);
    Proxy->setSortRole(VesselModel::SortRole);
    Proxy->setFilterKeyColumn(-1);
    Proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    txtFilter = new QLineEdit(this);
    txtFilter->setPlaceholderText("name, MMSI, call sign, type, ...");
    txtStationLat = new QLineEdit(this);
    txtStationLat->setPlaceholderText("latitude");
    txtStationLon = new QLineEdit(this);
    txtStationLon->setPlaceholderText("longitude");
    lblStation = new QLabel(this);
    cmdClear = new QPushButton("Clear", this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Filter:", this));
    top->addWidget(txtFilter, 2);
    top->addWidget(new QLabel("Station:", this));
    top->addWidget(txtStationLat, 1);
    top->addWidget(txtStationLon, 1);
    top->addWidget(lblStation);
    top->addWidget(cmdClear);

    Table = new QTableView(this);
    Table->setModel(Proxy);
    Table->setSortingEnabled(true);
    Table->sortByColumn(static_cast<int>(VesselColumn::LastHeard), Qt::AscendingOrder);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->horizontalHeader()->setDefaultSectionSize(fontMetrics().horizontalAdvance("000000000") + 16);
    Table->setColumnWidth(static_cast<int>(VesselColumn::Name), fontMetrics().horizontalAdvance("NNNNNNNNNNNNNNNN"));
    Plot = new RangePlot(*Model, this);
    txtDetails = new QPlainTextEdit(this);
    txtDetails->setReadOnly(true);
    txtDetails->setPlaceholderText("Select a vessel for every field of its messages and its last sentences.");
    auto* side = new QSplitter(Qt::Vertical, this);
    side->addWidget(Plot);
    side->addWidget(txtDetails);
    auto* body = new QSplitter(Qt::Horizontal, this);
    body->addWidget(Table);
    body->addWidget(side);
    body->setStretchFactor(0, 3);
    body->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(body, 1);

    AgeTimer = new QTimer(this);
    AgeTimer->setInterval(1000);
    AgeTimer->start();
    connect(AgeTimer, &QTimer::timeout, this, [this] { AgeTimer_Timer(); });
    connect(txtFilter, &QLineEdit::textChanged, this, [this] { txtFilter_Change(); });
    connect(txtStationLat, &QLineEdit::textChanged, this, [this] { txtStation_Change(); });
    connect(txtStationLon, &QLineEdit::textChanged, this, [this] { txtStation_Change(); });
    connect(cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
    connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ShowDetails(); });
    connect(Model, &QAbstractItemModel::dataChanged, this, [this] { ShowDetails(); });
}

void frmVessels::Heard(std::span<const int32_t> messageBits, std::string_view sentences, const MessageOrigin& origin)
{
    const std::optional<AisRecord> message = DecodeAisMessage(messageBits);
    if (message)
        Model->Heard(*message, sentences, origin);
}

void frmVessels::AgeTimer_Timer()
{
    Table->viewport()->update();
    Plot->update();
}

void frmVessels::cmdClear_Click()
{
    Model->Clear();
    txtDetails->clear();
    Plot->update();
}

void frmVessels::txtFilter_Change() { Proxy->setFilterFixedString(txtFilter->text()); }

void frmVessels::txtStation_Change()
{
    const StationText station =
        ReadStation(txtStationLat->text().toStdString(), txtStationLon->text().toStdString());
    Model->Station = station.At;
    lblStation->setText(station.Invalid ? "not a position" : QString());
    lblStation->setStyleSheet(station.Invalid ? "QLabel { color: rgb(200, 0, 0); }" : QString());
    // Distances and bearings follow.
    if (Model->rowCount() > 0)
        emit Model->dataChanged(Model->index(0, 0), Model->index(Model->rowCount() - 1, Model->columnCount() - 1));
    Plot->update();
}

void frmVessels::SetStation(const std::string& latitude, const std::string& longitude)
{
    txtStationLat->setText(QString::fromStdString(latitude));
    txtStationLon->setText(QString::fromStdString(longitude));
}

std::string frmVessels::StationLatitude() const { return txtStationLat->text().trimmed().toStdString(); }

std::string frmVessels::StationLongitude() const { return txtStationLon->text().trimmed().toStdString(); }

void frmVessels::ShowDetails()
{
    const QModelIndexList rows = Table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const QModelIndex source = Proxy->mapToSource(rows.first());
    if (!source.isValid() || static_cast<size_t>(source.row()) >= Model->Table().Rows().size())
        return;
    const Vessel& v = Model->Table().Rows()[static_cast<size_t>(source.row())];
    const std::string text = VesselDetails(v);
    if (txtDetails->toPlainText().toStdString() != text)
        txtDetails->setPlainText(QString::fromStdString(text));
}

void frmVessels::ShowVessels()
{
    show();
    raise();
    activateWindow();
}

std::string frmVessels::Placement() const
{
    const QRect box = geometry();
    return std::to_string(box.x()) + "," + std::to_string(box.y()) + "," + std::to_string(box.width()) + "," +
           std::to_string(box.height());
}

void frmVessels::SetPlacement(const std::string& placement)
{
    const QStringList box = QString::fromStdString(placement).split(',');
    if (box.size() == 4 && box[2].toInt() > 0 && box[3].toInt() > 0)
        setGeometry(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt());
}

}  // namespace kelvane
