#include "tools/fieldsim.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInchesPerMetre = 1 / 0.0254;
constexpr double kSquareMetresPerAcre = 4046.8564224;
constexpr double kTestWeight = 56;          // lb/bu of corn
constexpr double kStandardMoisture = 15.5;  // % at which the yield map is given

constexpr std::int16_t kHeaderDown = 33;
constexpr std::int16_t kHeaderUp = 1;
constexpr std::int32_t kGpsDifferential = 4;  // GPS status with correction
constexpr std::int32_t kGpsAutonomous = 2;    // correction lost

// The combine: grain reaches the flow sensor some seconds after it is cut,
// and the sensor reading follows the grain stream with a lag.
constexpr std::size_t kTransportDelay = 5;  // s
constexpr double kFlowResponse = 0.3;       // share of the gap closed each second
constexpr double kSpeedResponse = 0.35;     // same for the ground speed
constexpr double kFlowDeadBand = 0.3;       // lb/s; the monitor logs less as 0

// Rates of the faults a yield monitor logs, per record.
constexpr double kRepeatedPosition = 0.006;  // GPS position not updated
constexpr double kZeroDistance = 0.003;      // distance sensor reads nothing
constexpr double kFlowSpike = 0.003;
constexpr double kFlowDrop = 0.003;
constexpr double kMoistureOutlier = 0.0015;
constexpr double kSpeedOutlier = 0.0015;
constexpr double kMissedSecond = 0.002;  // one record covers two seconds

// Rates of events, per pass or per turn.
constexpr double kPauseInPass = 0.3;    // logging stops for more than 6 s
constexpr double kShortBurst = 0.35;    // after a pause, another one soon
constexpr double kStopInPass = 0.2;     // the combine stands still, logging on
constexpr double kHeaderRaise = 0.06;   // header lifted for a few seconds
constexpr double kGpsDegraded = 0.04;   // differential correction lost
constexpr double kPartialSwath = 0.08;  // pass narrower than the full cut
constexpr double kPauseInTurn = 0.04;   // waiting at the headland
constexpr double kWrongSwath = 0.08;    // a narrow swath keyed in for a while

/// splitmix64: small, fast, and the same sequence on every machine. Never
/// call it twice within one expression: the order of evaluation would then
/// be the compiler's choice.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  /// Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Between(double low, double high) {
    const double u = Uniform();
    return low + (high - low) * u;
  }
  /// A whole number from `low` to `high` inclusive.
  std::int32_t Integer(std::int32_t low, std::int32_t high) {
    const auto span = static_cast<std::uint64_t>(high - low) + 1;
    return low + static_cast<std::int32_t>(Next() % span);
  }
  bool Chance(double probability) { return Uniform() < probability; }
  /// Bell-shaped, mean 0, standard deviation 1, within +-3.47 (four uniforms).
  double Normal() {
    double sum = Uniform();
    sum += Uniform();
    sum += Uniform();
    sum += Uniform();
    return (sum - 2) * 1.7320508075688772;
  }

 private:
  std::uint64_t state_;
};

/// sin and cos for |x| up to about 4 by their series: no library call, so
/// every machine computes the same bits.
double Sine(double x) {
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int n = 1; n <= 13; ++n) {
    term = -term * x2 / ((2.0 * n) * (2.0 * n + 1));
    sum += term;
  }
  return sum;
}

double Cosine(double x) {
  const double x2 = x * x;
  double term = 1;
  double sum = 1;
  for (int n = 1; n <= 13; ++n) {
    term = -term * x2 / ((2.0 * n - 1) * (2.0 * n));
    sum += term;
  }
  return sum;
}

/// A smooth rise or dip of a map: `amount` at the centre, half of it at `radius`.
struct Bump {
  double x = 0;
  double y = 0;
  double radius = 1;
  double amount = 0;

  double At(double px, double py) const {
    const double dx = (px - x) / radius;
    const double dy = (py - y) / radius;
    return amount / (1 + dx * dx + dy * dy);
  }
  /// A flat-topped spot instead: near 1 within `radius`, falling off beyond it.
  double Spot(double px, double py) const {
    const double dx = (px - x) / radius;
    const double dy = (py - y) / radius;
    const double r2 = dx * dx + dy * dy;
    return 1 / (1 + r2 * r2);
  }
};

/// What does not change while the combine crosses the field: the yield,
/// moisture and elevation maps.
class FieldMaps {
 public:
  FieldMaps(Random& random, double width, double length) {
    const double size = std::max(width, length);
    const double area = width * length;
    baseYield_ = random.Between(155, 185);
    baseMoisture_ = random.Between(16.8, 18.8);
    // Broad zones of soil and slope across the field, then small spots (wet
    // holes, knolls) about one per 6,000 square metres.
    for (int k = 0; k < 6; ++k) {
      yield_.push_back(RandomBump(random, width, length, 0.12 * size, 0.3 * size, -0.4, 0.25));
    }
    const int spots = std::max(4, static_cast<int>(area / 6000));
    for (int k = 0; k < spots; ++k) {
      yield_.push_back(RandomBump(random, width, length, 9, 21, -0.55, 0.3));
    }
    // Spots where water stood and the crop drowned: next to no grain.
    const int drowned = std::max(2, static_cast<int>(area / 21000));
    for (int k = 0; k < drowned; ++k) {
      drowned_.push_back(RandomBump(random, width, length, 15, 30, 1, 1));
    }
    for (int k = 0; k < 3; ++k) {
      moisture_.push_back(RandomBump(random, width, length, 0.08 * size, 0.25 * size, -1.5, 2.5));
    }
    for (int k = 0; k < 3; ++k) {
      elevation_.push_back(RandomBump(random, width, length, 0.08 * size, 0.25 * size, -4, 4));
    }
  }

  /// Dry yield in bu/ac at the standard moisture.
  double Yield(double x, double y) const {
    double factor = 1;
    for (const Bump& bump : yield_) factor += bump.At(x, y);
    factor = std::max(factor, 0.1);
    for (const Bump& spot : drowned_) factor *= 1 - spot.Spot(x, y);
    return baseYield_ * factor;
  }
  /// Grain moisture, %.
  double Moisture(double x, double y) const {
    double moisture = baseMoisture_;
    for (const Bump& bump : moisture_) moisture += bump.At(x, y);
    return moisture;
  }
  /// Elevation in feet above sea level.
  double Elevation(double x, double y) const {
    double elevation = 1185 + 0.012 * x - 0.009 * y;
    for (const Bump& bump : elevation_) elevation += bump.At(x, y);
    return elevation;
  }

 private:
  /// A bump anywhere in the field, its radius in metres.
  static Bump RandomBump(Random& random, double width, double length, double smallest,
                         double largest, double low, double high) {
    Bump bump;
    bump.x = random.Between(0, width);
    bump.y = random.Between(0, length);
    bump.radius = random.Between(smallest, largest);
    bump.amount = random.Between(low, high);
    return bump;
  }

  double baseYield_ = 0;
  double baseMoisture_ = 0;
  std::vector<Bump> yield_;
  std::vector<Bump> drowned_;
  std::vector<Bump> moisture_;
  std::vector<Bump> elevation_;
};

/// The four legs of one pass and the turn after it.
enum class Leg { Crop, Out, Turn, In };

/// One logged record before it becomes text.
struct Record {
  double Longitude = 0;
  double Latitude = 0;
  double GrainFlow = 0;
  std::int64_t GPSTime = 0;
  std::int32_t GPSInterval = 1;
  std::int32_t Distance = 0;
  std::int32_t Swath = 0;
  double Moisture = 0;
  std::int32_t HeaderStatus = 0;
  std::int32_t PassNo = 0;
  std::int32_t GPSStatus = 0;
  std::int32_t PDOP = 0;
  double Elevation = 0;
};

void AppendFixed(std::string& out, double value, int decimals) {
  std::array<char, 64> buffer{};
  // Adding 0 turns a negative zero into a positive one: no "-0.00".
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value + 0.0,
                                    std::chars_format::fixed, decimals);
  out.append(buffer.data(), result.ptr);
}

void AppendInteger(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

std::string WithNumber(std::string_view prefix, std::int64_t number, std::string_view suffix) {
  std::string text(prefix);
  AppendInteger(text, number);
  text.append(suffix);
  return text;
}

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  out += text;
  out += '"';
}

/// `value` rounded to `decimals` places, halves away from zero.
double RoundToDecimals(double value, int decimals) {
  double scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  return std::round(value * scale) / scale;
}

/// Drives one combine over the field, one second at a time, and writes what
/// its yield monitor logs.
class Harvest {
 public:
  explicit Harvest(const FieldSimOptions& options)
      : options_(options),
        random_(options.Seed),
        spacing_(options.Swath / kInchesPerMetre),
        length_(PassLengthFor(options)),
        maps_(random_, EstimatedWidth(options, length_, spacing_), length_),
        transportDelay_(options.FlowDelay ? static_cast<std::size_t>(*options.FlowDelay)
                                          : kTransportDelay),
        flowResponse_(options.FlowDelay ? 1.0 : kFlowResponse),
        cut_(transportDelay_, 0.0) {
    if (options.Heading != 0) {
      const double heading = options.Heading * kPi / 180;
      sinHeading_ = Sine(heading);
      cosHeading_ = Cosine(heading);
    }
    const double latitude = options.Latitude * kPi / 180;
    metresPerDegreeLatitude_ =
        111132.92 - 559.82 * Cosine(2 * latitude) + 1.175 * Cosine(4 * latitude);
    metresPerDegreeLongitude_ = 111412.84 * Cosine(latitude) - 93.5 * Cosine(3 * latitude);
    serialNo_ = WithNumber("2004", random_.Integer(100000, 999999), "");
    fieldId_ = WithNumber("F", random_.Integer(1, 24), ": North 80");
    time_ = 1250000000 + random_.Integer(0, 99999999);
    moisture_ = maps_.Moisture(0, 0);
    NewLoad();
    StartPass();
    passNo_ = 1;
    header_ = kHeaderDown;
  }

  std::string Run() {
    std::string text;
    text.reserve(static_cast<std::size_t>(std::max(options_.Points, 0)) * 132);
    std::int32_t written = 0;
    while (written < options_.Points) {
      Second();
      if (random_.Chance(kMissedSecond) && secondsSinceRecord_ < 2) continue;
      AppendRecord(text, NextRecord());
      ++written;
    }
    return text;
  }

 private:
  static double PassLengthFor(const FieldSimOptions& options) {
    if (options.PassLength > 0) return options.PassLength;
    // Travel of about 2 m/s over one swath per second: a square field of
    // about the area the points cover.
    const double area = std::max(options.Points, 1) * 2.05 * (options.Swath / kInchesPerMetre);
    return std::clamp(std::sqrt(area), 60.0, 1200.0);
  }

  /// How far east the passes will reach, for laying out the maps.
  static double EstimatedWidth(const FieldSimOptions& options, double length, double spacing) {
    const double secondsPerPass = length / 2.05 + 22;
    return (std::max(options.Points, 1) / secondsPerPass + 1) * spacing;
  }

  double PassX(std::int32_t pass) const { return (pass + 0.5) * spacing_; }
  /// +1 for a pass northwards, -1 southwards.
  double Direction() const { return pass_ % 2 == 0 ? 1 : -1; }
  double FarEnd() const { return Direction() > 0 ? length_ : 0; }

  double LegLength() const {
    switch (leg_) {
      case Leg::Crop:
        return length_;
      case Leg::Out:
      case Leg::In:
        return outLength_;
      case Leg::Turn:
        return kPi * spacing_ / 2;
    }
    return 0;
  }

  /// Where the combine is, in metres east and north of the corner.
  void Position(double& x, double& y) const {
    const double dir = Direction();
    const double radius = spacing_ / 2;
    switch (leg_) {
      case Leg::Crop:
        x = PassX(pass_) + wander_;
        y = dir > 0 ? along_ : length_ - along_;
        return;
      case Leg::Out:
        x = PassX(pass_);
        y = FarEnd() + dir * along_;
        return;
      case Leg::Turn: {
        const double angle = kPi - along_ / radius;
        x = PassX(pass_) + radius + radius * Cosine(angle);
        y = FarEnd() + dir * (outLength_ + radius * Sine(angle));
        return;
      }
      case Leg::In:
        x = PassX(pass_ + 1);
        y = FarEnd() + dir * (outLength_ - along_);
        return;
    }
  }

  void StartPass() {
    leg_ = Leg::Crop;
    along_ = 0;
    wander_ = 0;
    passSpeed_ = random_.Between(1.85, 2.3);
    swath_ = options_.Swath;
    if (random_.Chance(kPartialSwath)) swath_ = options_.Swath - 5 * random_.Integer(1, 6);
    wrongSwathAt_ = random_.Chance(kWrongSwath) ? random_.Between(0, 0.7) * length_ : -1;
    pauseAt_ = random_.Chance(kPauseInPass) ? random_.Between(0.15, 0.85) * length_ : -1;
    stopAt_ = random_.Chance(kStopInPass) ? random_.Between(0.1, 0.9) * length_ : -1;
    raiseAt_ = random_.Chance(kHeaderRaise) ? random_.Between(0.2, 0.8) * length_ : -1;
    gpsAt_ = random_.Chance(kGpsDegraded) ? random_.Between(0, 0.9) * length_ : -1;
  }

  void StartTurn() {
    outLength_ = random_.Between(3, 6);
    turnSpeed_ = random_.Between(1.2, 1.5);
    headerLag_ = random_.Integer(3, 8);
    raised_ = 0;
    turnPauseAt_ = random_.Chance(kPauseInTurn) ? random_.Between(0, outLength_) : -1;
  }

  void NewLoad() {
    ++load_;
    loadCapacity_ = random_.Between(20000, 26000);
    loadWeight_ = 0;
    // Some monitors pad the load name with blanks.
    const bool padded = load_ == 1 || random_.Chance(1.0 / 3);
    loadNo_ = WithNumber("Load ", load_, padded ? "   " : "");
  }

  /// Logging stops for more than 6 s; the combine empties meanwhile.
  void Pause() {
    time_ += random_.Integer(7, 90);
    speed_ = 0;
    flow_ = 0;
    cut_.assign(transportDelay_, 0.0);
    if (random_.Chance(kShortBurst)) burst_ = random_.Integer(8, 20);
  }

  /// Moves the combine on along the route by `distance` metres.
  void Travel(double distance) {
    along_ += distance;
    while (along_ >= LegLength()) {
      along_ -= LegLength();
      switch (leg_) {
        case Leg::Crop:
          leg_ = Leg::Out;
          StartTurn();
          secondsOutOfCrop_ = 0;
          break;
        case Leg::Out:
          leg_ = Leg::Turn;
          break;
        case Leg::Turn:
          leg_ = Leg::In;
          break;
        case Leg::In:
          ++pass_;
          StartPass();
          header_ = kHeaderDown;
          ++passNo_;
          break;
      }
    }
  }

  /// One second of the combine's work.
  void Second() {
    ++time_;
    ++secondsSinceRecord_;

    if (leg_ == Leg::Crop && pauseAt_ >= 0 && along_ >= pauseAt_) {
      pauseAt_ = -1;
      Pause();
    } else if (burst_ > 0 && --burst_ == 0) {
      Pause();
    } else if (leg_ == Leg::In && turnPauseAt_ >= 0 && along_ >= turnPauseAt_) {
      turnPauseAt_ = -1;
      Pause();
    }
    if (leg_ == Leg::Crop && stopAt_ >= 0 && along_ >= stopAt_) {
      stopAt_ = -1;
      standing_ = random_.Integer(2, 5);
    }
    if (leg_ == Leg::Crop && raiseAt_ >= 0 && along_ >= raiseAt_) {
      raiseAt_ = -1;
      raised_ = random_.Integer(3, 6);
      header_ = kHeaderUp;
    }
    if (leg_ == Leg::Crop && wrongSwathAt_ >= 0 && along_ >= wrongSwathAt_) {
      wrongSwathAt_ = -1;
      wrongSwath_ = random_.Integer(10, 40);
      const double share = random_.Between(0.25, 0.4);
      wrongSwathValue_ = static_cast<std::int32_t>(std::round(options_.Swath * share / 10)) * 10;
    }
    if (leg_ == Leg::Crop && gpsAt_ >= 0 && along_ >= gpsAt_) {
      gpsAt_ = -1;
      degraded_ = random_.Integer(5, 20);
    }

    if (standing_ > 0) {
      --standing_;
      speed_ = 0;
    } else {
      const double target = leg_ == Leg::Crop ? passSpeed_ : turnSpeed_;
      const double noise = random_.Normal();
      speed_ += (target - speed_) * kSpeedResponse + 0.03 * noise;
      speed_ = std::clamp(speed_, 0.3, 3.5);
    }
    const double wanderNoise = random_.Normal();
    wander_ = 0.95 * wander_ + 0.03 * wanderNoise;
    Travel(speed_);
    travelled_ += speed_;

    if (leg_ == Leg::Crop) {
      if (raised_ > 0 && --raised_ == 0) {
        header_ = kHeaderDown;
        ++passNo_;
      }
    } else if (header_ == kHeaderDown && ++secondsOutOfCrop_ > headerLag_) {
      header_ = kHeaderUp;
    }
    if (leg_ == Leg::In) header_ = kHeaderUp;

    double x = 0;
    double y = 0;
    Position(x, y);
    double cut = 0;
    if (leg_ == Leg::Crop && header_ == kHeaderDown && speed_ > 0) {
      const double noise = random_.Normal();
      const double acresPerSecond = (swath_ / kInchesPerMetre) * speed_ / kSquareMetresPerAcre;
      const double wetPerDry = (100 - kStandardMoisture) / (100 - maps_.Moisture(x, y));
      cut = maps_.Yield(x, y) * kTestWeight * wetPerDry * acresPerSecond * (1 + 0.07 * noise);
    }
    cut_.push_back(std::max(cut, 0.0));
    const double arriving = cut_.front();
    cut_.pop_front();
    flow_ += (arriving - flow_) * flowResponse_;

    if (--moistureUpdate_ <= 0) {
      moistureUpdate_ = random_.Integer(3, 6);
      const double noise = random_.Normal();
      if (flow_ > 0.5) moisture_ = maps_.Moisture(x, y) + 0.3 * noise;
    }
    if (degraded_ > 0) --degraded_;
    if (wrongSwath_ > 0 && leg_ != Leg::Crop) wrongSwath_ = 0;
  }

  Record NextRecord() {
    Record record;
    double x = 0;
    double y = 0;
    Position(x, y);
    if (speed_ > 0) {
      const double jitterX = random_.Normal();
      const double jitterY = random_.Normal();
      x += 0.04 * jitterX;
      y += 0.04 * jitterY;
    }
    if (options_.Heading != 0) {
      // Clockwise about the corner: north turns towards east.
      const double east = x * cosHeading_ + y * sinHeading_;
      const double north = y * cosHeading_ - x * sinHeading_;
      x = east;
      y = north;
    }
    record.Longitude = options_.Longitude + x / metresPerDegreeLongitude_;
    record.Latitude = options_.Latitude + y / metresPerDegreeLatitude_;
    if (hasPrevious_ && (speed_ == 0 || random_.Chance(kRepeatedPosition))) {
      record.Longitude = previous_.Longitude;
      record.Latitude = previous_.Latitude;
    }

    const double measure = random_.Normal();
    double distance = travelled_ * kInchesPerMetre * (1 + 0.02 * measure);
    if (random_.Chance(kZeroDistance)) distance = 0;
    if (random_.Chance(kSpeedOutlier)) {
      distance *= random_.Chance(0.5) ? random_.Between(2.2, 3.2) : random_.Between(0.15, 0.35);
    }
    const double sensorNoise = random_.Normal();
    double flow = flow_ * (1 + 0.04 * sensorNoise);
    if (flow < kFlowDeadBand) flow = 0;
    if (flow > 2 && random_.Chance(kFlowSpike)) flow *= random_.Between(2.2, 3.5);
    if (flow > 2 && random_.Chance(kFlowDrop)) flow *= random_.Between(0.05, 0.35);
    double moisture = moisture_;
    if (random_.Chance(kMoistureOutlier)) {
      moisture += random_.Chance(0.5) ? random_.Between(9, 16) : -random_.Between(7, 10);
    }

    loadWeight_ += flow * secondsSinceRecord_;
    if (loadWeight_ > loadCapacity_) NewLoad();

    record.GrainFlow = RoundToDecimals(flow, 2);
    record.GPSTime = time_;
    record.GPSInterval = secondsSinceRecord_;
    record.Distance = static_cast<std::int32_t>(std::round(distance));
    record.Swath = swath_;
    if (wrongSwath_ > 0) {
      --wrongSwath_;
      record.Swath = wrongSwathValue_;
    }
    record.Moisture = RoundToDecimals(moisture, 1);
    record.HeaderStatus = header_;
    record.PassNo = passNo_;
    record.GPSStatus = degraded_ > 0 ? kGpsAutonomous : kGpsDifferential;
    record.PDOP = degraded_ > 0 ? random_.Integer(3, 4) : (random_.Chance(0.05) ? 1 : 2);
    const double elevationNoise = random_.Normal();
    record.Elevation = RoundToDecimals(maps_.Elevation(x, y) + 0.05 * elevationNoise, 2);

    previous_ = record;
    hasPrevious_ = true;
    secondsSinceRecord_ = 0;
    travelled_ = 0;
    return record;
  }

  void AppendRecord(std::string& out, const Record& record) const {
    AppendFixed(out, record.Longitude, 7);
    out += ',';
    AppendFixed(out, record.Latitude, 7);
    out += ',';
    AppendFixed(out, record.GrainFlow, 2);
    out += ',';
    AppendInteger(out, record.GPSTime);
    out += ',';
    AppendInteger(out, record.GPSInterval);
    out += ',';
    AppendInteger(out, record.Distance);
    out += ',';
    AppendInteger(out, record.Swath);
    out += ',';
    AppendFixed(out, record.Moisture, 1);
    out += ',';
    AppendInteger(out, record.HeaderStatus);
    out += ',';
    AppendInteger(out, record.PassNo);
    out += ',';
    AppendQuoted(out, serialNo_);
    out += ',';
    AppendQuoted(out, fieldId_);
    out += ',';
    AppendQuoted(out, loadNo_);
    out += ',';
    AppendQuoted(out, "Corn");
    out += ',';
    AppendInteger(out, record.GPSStatus);
    out += ',';
    AppendInteger(out, record.PDOP);
    out += ',';
    AppendFixed(out, record.Elevation, 2);
    out += "\r\n";
  }

  const FieldSimOptions options_;
  Random random_;
  const double spacing_;  // metres between pass centres
  const double length_;   // metres from headland to headland
  const FieldMaps maps_;
  const std::size_t transportDelay_;  // s from the cut to the sensor
  const double flowResponse_;         // share of the gap the sensor closes each second
  double sinHeading_ = 0;
  double cosHeading_ = 1;
  double metresPerDegreeLatitude_ = 0;
  double metresPerDegreeLongitude_ = 0;

  std::string serialNo_;
  std::string fieldId_;
  std::string loadNo_;
  std::int32_t load_ = 0;
  double loadCapacity_ = 0;  // lb of wet grain
  double loadWeight_ = 0;

  // Where the combine is and how it moves.
  std::int32_t pass_ = 0;
  Leg leg_ = Leg::Crop;
  double along_ = 0;      // metres along the current leg
  double wander_ = 0;     // metres of steering off the pass line
  double speed_ = 1.0;    // m/s
  double passSpeed_ = 0;  // m/s
  double turnSpeed_ = 0;  // m/s
  double outLength_ = 0;  // metres driven straight on beyond the crop before turning
  double travelled_ = 0;  // metres since the last record
  std::int32_t swath_ = 0;
  std::int32_t headerLag_ = 0;
  std::int32_t secondsOutOfCrop_ = 0;

  // What the monitor sees.
  std::int64_t time_ = 0;
  std::int32_t secondsSinceRecord_ = 0;
  std::int32_t header_ = kHeaderDown;
  std::int32_t passNo_ = 0;
  std::deque<double> cut_;  // lb/s on its way
  double flow_ = 0;         // lb/s at the sensor
  double moisture_ = 0;     // last reading, %
  std::int32_t moistureUpdate_ = 0;

  // Events under way, and where in the pass the next ones happen (-1: none).
  double pauseAt_ = -1;
  double stopAt_ = -1;
  double raiseAt_ = -1;
  double gpsAt_ = -1;
  double turnPauseAt_ = -1;
  double wrongSwathAt_ = -1;
  std::int32_t wrongSwath_ = 0;  // records still logged with the wrong swath
  std::int32_t wrongSwathValue_ = 0;
  std::int32_t burst_ = 0;
  std::int32_t standing_ = 0;
  std::int32_t raised_ = 0;
  std::int32_t degraded_ = 0;

  Record previous_;
  bool hasPrevious_ = false;
};

}  // namespace

std::string SimulateField(const FieldSimOptions& options) {
  if (options.Points <= 0) return {};
  FieldSimOptions sane = options;
  sane.Swath = std::clamp<std::int16_t>(options.Swath, 60, 720);
  if (sane.PassLength > 0) sane.PassLength = std::max(sane.PassLength, 20.0);
  sane.Latitude = std::clamp(options.Latitude, -80.0, 80.0);
  if (sane.FlowDelay) sane.FlowDelay = std::clamp(*sane.FlowDelay, 0, 600);
  sane.Heading = std::clamp(options.Heading, 0.0, 360.0);
  if (sane.Heading > 180) sane.Heading -= 360;  // the series need |angle| within about 4
  return Harvest(sane).Run();
}

}  // namespace tarvik
