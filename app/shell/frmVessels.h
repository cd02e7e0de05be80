// frmVessels, the vessel window: who was heard, one row per MMSI (name, call
// sign, type, position, motion, distance and bearing from the station, how
// often, how recently, on which channels, how strongly), sortable and
// filtered, every decoded field and the last sentences of the one selected,
// and a range plot around the station.
#pragma once

#include "ais/AisRecord.h"
#include "window/Desktop.h"
#include "window/VesselRows.h"
#include "ais/VesselTable.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace kelvane {

class VesselModel : public QAbstractTableModel {
public:
    explicit VesselModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Sorting reads this role: numbers as numbers, "not available" last.
    static constexpr int SortRole = Qt::UserRole;

    void Heard(const AisRecord& message, std::string_view sentences, const MessageOrigin& origin);
    void Clear();

    const VesselTable& Table() const { return Vessels; }
    std::optional<Position> Station;
    std::function<double()> Clock;  // seconds

private:
    QVariant Display(const Vessel& v, VesselColumn column) const;
    QVariant SortKey(const Vessel& v, VesselColumn column) const;

    VesselTable Vessels;
};

// The vessels around the station, north up, with range rings.
class RangePlot : public QWidget {
public:
    RangePlot(const VesselModel& model, QWidget* parent);
    // The plot's centre: the station, or without one the vessels' centroid.
    std::optional<Position> Centre() const;
    bool CentredOnVessels() const { return !Model.Station; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    struct Mark {
        QPointF At;
        size_t Row;
    };
    std::vector<Mark> Marks;  // as last drawn
    const VesselModel& Model;
};

class frmVessels : public QWidget, public VesselWindow {
public:
    explicit frmVessels(QWidget* parent = nullptr);

    // A decoded message: its sender's row is made or brought up to date.
    void Heard(std::span<const int32_t> messageBits, std::string_view sentences,
               const MessageOrigin& origin) override;
    void ShowVessels() override;
    void cmdClear_Click();
    // Every second: the ages (worked out as they are shown) and the plot's
    // fading move on. Their order does not change, so nothing is sorted.
    void AgeTimer_Timer();
    void txtFilter_Change();
    // The station's position from the two boxes: latitude and longitude in
    // degrees, north and east positive; both empty for none.
    void txtStation_Change();
    void SetStation(const std::string& latitude, const std::string& longitude) override;
    std::string StationLatitude() const override;
    std::string StationLongitude() const override;
    std::string Placement() const override;
    void SetPlacement(const std::string& placement) override;

    VesselModel* Model = nullptr;
    QSortFilterProxyModel* Proxy = nullptr;
    QTableView* Table = nullptr;
    QLineEdit* txtFilter = nullptr;
    QLineEdit* txtStationLat = nullptr;
    QLineEdit* txtStationLon = nullptr;
    QLabel* lblStation = nullptr;
    QPushButton* cmdClear = nullptr;
    QPlainTextEdit* txtDetails = nullptr;
    RangePlot* Plot = nullptr;
    QTimer* AgeTimer = nullptr;

private:
    void ShowDetails();
};

}  // namespace kelvane
