#include "VemtoMaterial.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

namespace vemto {
namespace {

// Number of properties in the record layout of a version pair.
int StoredProperties(std::int32_t major, std::int32_t minor) {
  if (major == 3 && minor == 0) return kMaterialPropertiesV30;
  if (major == 3 && minor == 1) return kMaterialProperties;
  return 0;
}

double Pow10(long double exponent) {
  return static_cast<double>(std::pow(10.0L, exponent));
}

}  // namespace

double DevelopmentFactor(double a1, double b1, double a2, double b2, double x) {
  const long double lx = x;
  const long double f1 = static_cast<long double>(a1) * std::pow(lx, static_cast<long double>(b1));
  const long double f2 = static_cast<long double>(a2) * std::pow(lx, static_cast<long double>(b2));
  return static_cast<double>(1.0L / (1.0L / f1 + 1.0L / f2));
}

double DegreeOfHydration(double lambda1, double t1, double kappa1, double te) {
  if (!(te > 0.0)) return 0.0;
  const long double l = std::log1p(static_cast<long double>(te) / static_cast<long double>(t1));
  return static_cast<double>(std::exp(-static_cast<long double>(lambda1) *
                                      std::pow(l, -static_cast<long double>(kappa1))));
}

TVemtoMaterial::TVemtoMaterial(std::string name, int kind, int cementType, double cementContent,
                               double waterCementRatio, std::filesystem::path propertyDirectory)
    : Name(std::move(name)), PropertyFolder(std::move(propertyDirectory)) {
  const auto refuse = [this](const std::string& why) {
    return std::invalid_argument(fmt::format("Cannot create material \"{}\": {}", Name, why));
  };
  if (Name.size() > kMaxRecordText)
    throw refuse(fmt::format("the name has {} characters; at most {} are allowed", Name.size(),
                             kMaxRecordText));
  if (kind != 0 && kind != 1) throw refuse(fmt::format("kind {} is neither 0 nor 1", kind));
  if (!(waterCementRatio > 0.0) || !std::isfinite(waterCementRatio))
    throw refuse(
        fmt::format("the water-cement ratio {} is not a positive number", waterCementRatio));
  if (!(cementContent >= 0.0) || !std::isfinite(cementContent))
    throw refuse(fmt::format("the cement content {} kg/m3 is not a number >= 0", cementContent));

  const std::filesystem::path folder = PropertyDirectory();
  const std::filesystem::path concreteFile = folder / kConcreteFileName;
  const std::filesystem::path cementFile = folder / kCementFileName;
  try {
    const bool haveCement = Cement.ReadFromFile(cementFile);
    if (!Concrete.ReadFromFile(concreteFile))
      throw PropertyFileError(fmt::format(
          "the concrete property file \"{}\" is missing; its constants are needed for the "
          "default properties",
          concreteFile.string()));
    if (kind == 1 && (!haveCement || Cement.CementCount == 0))
      throw PropertyFileError(
          fmt::format("the cement property file \"{}\" is {}; heat development needs a cement type",
                      cementFile.string(), haveCement ? "empty" : "missing"));
  } catch (const PropertyFileError& e) {
    throw PropertyFileError(fmt::format("Cannot create material \"{}\": {}", Name, e.what()));
  }
  if (Cement.CementCount > 0) {
    if (cementType < 1 || cementType > Cement.CementCount)
      throw refuse(fmt::format("cement type {} does not exist; \"{}\" lists {} types", cementType,
                               cementFile.string(), Cement.CementCount));
    Cement.Select(cementType);
  }

  VersionMajor = 3;
  VersionMinor = 1;
  RefCount = 0;
  Options = {kind, 1, 0, 1, 0, 0, 0};

  const auto c = [this](int k) { return Concrete.Value(k); };
  const auto cement = [this](int i) { return Cement.Value(i); };
  const bool heat = kind == 1;

  // The compressive strength first, so that the derived ratio equals the given one.
  P(64) = c(7) / waterCementRatio + c(6);
  const auto w = [this] { return WaterCementRatio(); };
  const long double fcRel = static_cast<long double>(P(64)) / static_cast<long double>(c(5));

  P(1) = 0.0;
  P(2) = 1e50;
  P(3) = c(1);
  P(4) = c(2);
  P(5) = c(3);
  P(6) = 20.0;
  P(7) = 0.0;
  P(8) = cementContent;
  P(9) = 1.0;
  for (int i = 2; i <= 7; ++i) P(8 + i) = cement(i);  // P10..P15 = cement values 2..7
  P(16) = 0.0;
  P(17) = 0.0;
  P(18) = 0.0;
  P(19) = 0.0;
  P(20) = c(4);
  P(21) = c(5);
  P(22) = 0.0;
  P(23) = static_cast<double>(static_cast<long double>(c(8)) * std::pow(fcRel, 0.5L));
  P(24) = Pow10(static_cast<long double>(c(9)) - static_cast<long double>(w()) * c(10));
  P(25) = c(11);
  P(26) = c(12);
  P(27) = c(13);
  P(28) = c(14);
  P(29) = c(15);
  P(30) = c(16);
  P(31) = c(17);
  P(32) = static_cast<double>(static_cast<long double>(c(18)) * std::pow(fcRel, 2.0L / 3.0L));
  P(33) = Pow10(static_cast<long double>(c(19)) - static_cast<long double>(w()) * c(20));
  P(34) = c(21);
  P(35) = c(22);
  P(36) = c(23);
  P(37) = c(24) * P(23);
  P(38) = c(25) * P(23);
  P(39) = heat ? c(26) : 0.0;
  P(40) = heat ? c(27) : 0.0;
  P(41) = c(28);
  P(42) = c(29);
  P(43) = w() * c(30) - c(31);
  P(44) = c(32);
  for (int k = 0; k < 15; ++k) P(45 + k) = c(33 + k);  // creep terms
  P(60) = c(48);
  P(61) = c(49);
  P(62) = c(50);
  P(63) = c(51);
  P(65) =
      heat ? Pow10(static_cast<long double>(c(52)) - static_cast<long double>(w()) * c(53)) : 0.0;
  P(66) = heat ? c(54) : 0.0;
  P(67) = heat ? c(55) : 0.0;
  P(68) = heat ? c(56) : 0.0;

  for (int k = 1; k <= kMaterialProperties; ++k)
    if (!std::isfinite(P(k)))
      throw refuse(fmt::format("the constants of \"{}\" give property {} = {} (not finite)",
                               concreteFile.string(), k, P(k)));
}

std::filesystem::path TVemtoMaterial::PropertyDirectory() const {
  return PropertyFolder.empty() ? ProgramDirectory() : PropertyFolder;
}

double TVemtoMaterial::WaterCementRatio() const {
  const double denominator = P(64) - Concrete.Value(6);
  if (denominator == 0.0) return std::numeric_limits<double>::quiet_NaN();
  return Concrete.Value(7) / denominator;
}

void TVemtoMaterial::CopyFromMaterial(const TVemtoMaterial& other) {
  Name = other.Name;
  Properties = other.Properties;
  Options = other.Options;
}

void TVemtoMaterial::ReadPropertyTables() {
  PropertyFileWarning.clear();
  const std::filesystem::path folder = PropertyDirectory();
  try {
    Cement.ReadFromFile(folder / kCementFileName);
  } catch (const PropertyFileError& e) {
    Cement = TVemtoCement();
    PropertyFileWarning = e.what();
  }
  try {
    Concrete.ReadFromFile(folder / kConcreteFileName);
  } catch (const PropertyFileError& e) {
    Concrete = TVemtoConcrete();
    if (!PropertyFileWarning.empty()) PropertyFileWarning += "; ";
    PropertyFileWarning += e.what();
  }
}

void TVemtoMaterial::SaveToStream(TStream& stream) const {
  CheckRecordText(Name, "material name");
  stream.WriteText(Name);
  stream.WriteInt32(RefCount);
  const int n = StoredProperties(VersionMajor, VersionMinor);
  for (int k = 0; k < n; ++k) stream.WriteDouble(Properties[static_cast<std::size_t>(k)]);
  for (const std::int32_t o : Options) stream.WriteInt32(o);
}

void TVemtoMaterial::LoadFromStream(TStream& stream) {
  ReadPropertyTables();
  const std::size_t start = stream.Position();
  try {
    std::string name = ReadRecordText(stream);
    const std::int32_t refCount = stream.ReadInt32();
    if (refCount < 0)
      throw StreamError(
          fmt::format("material \"{}\" has a negative reference count {}", name, refCount));
    const int n = StoredProperties(VersionMajor, VersionMinor);
    std::array<double, kMaterialProperties> props = Properties;
    for (int k = 0; k < n; ++k) props[static_cast<std::size_t>(k)] = stream.ReadDouble();
    std::array<std::int32_t, kMaterialOptions> options{};
    for (auto& o : options) o = stream.ReadInt32();
    if (VersionMajor == 3 && VersionMinor == 0) props[63] = props[21];  // P64 := P22
    Name = std::move(name);
    RefCount = refCount;
    Properties = props;
    Options = options;
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

}  // namespace vemto
