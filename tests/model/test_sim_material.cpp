// Materials: defaults from the property files, records of both layouts, the bundled data.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "VemtoLists.h"
#include "VemtoMaterial.h"
#include "test_file_util.h"

namespace vemto {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

constexpr double kRel = 1e-12;  // relative tolerance of derived defaults

const fs::path kBundled = fs::path(VEMTO_SOURCE_DIR) / "data";

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

// A folder with a synthetic concrete table c_k = k / 100 except for the entries the
// strength laws need, and one cement type with values 1..7.
class SyntheticTables : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string text;
    for (int k = 1; k <= 56; ++k) {
      double v = k / 100.0;
      if (k == 5) v = 40e6;   // reference strength
      if (k == 6) v = -10e6;  // strength law additive term
      if (k == 7) v = 25e6;   // strength law factor
      if (k == 8) v = 30e9;   // modulus factor
      if (k == 18) v = 3e6;   // tensile factor
      c[k] = v;
      text += fmt::format("{} c{}\n", v, k);
    }
    WriteText(dir.Path("conpropt"), text);
    WriteText(dir.Path("cempropt"), "2\nA\n1\n2\n3\n4\n5\n6\n7\nB\n11\n12\n13\n14\n15\n16\n17\n");
  }
  TempDir dir;
  double c[57] = {};
};

TEST_F(SyntheticTables, NewMaterialWithHeatDevelopment) {
  TVemtoMaterial m("Concrete", 1, 2, 300.0, 0.5, dir.Path(""));
  EXPECT_EQ(m.VersionMajor, 3);
  EXPECT_EQ(m.VersionMinor, 1);
  EXPECT_EQ(m.RefCount, 0);
  EXPECT_EQ(m.P(8), 300.0);
  EXPECT_NEAR(m.WaterCementRatio(), 0.5, 0.5 * kRel);
  EXPECT_EQ(m.P(6), 20.0);
  EXPECT_EQ(m.P(2), 1e50);
  EXPECT_EQ(m.P(9), 1.0);
  const std::array<std::int32_t, 7> options{1, 1, 0, 1, 0, 0, 0};
  EXPECT_EQ(m.Options, options);
  for (int i = 2; i <= 7; ++i) EXPECT_EQ(m.P(8 + i), 10.0 + i) << i;  // cement type 2
  const double fc = 25e6 / 0.5 - 10e6;
  EXPECT_NEAR(m.P(64), fc, fc * kRel);
  EXPECT_EQ(m.P(3), c[1]);
  EXPECT_EQ(m.P(20), c[4]);
  EXPECT_EQ(m.P(21), c[5]);
  EXPECT_EQ(m.P(22), 0.0);
  EXPECT_NEAR(m.P(23), 30e9 * std::sqrt(fc / 40e6), 30e9 * kRel);
  EXPECT_NEAR(m.P(24), std::pow(10.0, c[9] - 0.5 * c[10]), kRel);
  EXPECT_NEAR(m.P(32), 3e6 * std::pow(fc / 40e6, 2.0 / 3.0), 3e6 * kRel);
  EXPECT_NEAR(m.P(33), std::pow(10.0, c[19] - 0.5 * c[20]), kRel);
  EXPECT_NEAR(m.P(37), c[24] * m.P(23), m.P(37) * kRel);
  EXPECT_NEAR(m.P(38), c[25] * m.P(23), m.P(38) * kRel);
  EXPECT_EQ(m.P(39), c[26]);
  EXPECT_EQ(m.P(40), c[27]);
  EXPECT_NEAR(m.P(43), 0.5 * c[30] - c[31], kRel);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(m.P(45 + k), c[33 + k]) << k;
  EXPECT_EQ(m.P(63), c[51]);
  EXPECT_NEAR(m.P(65), std::pow(10.0, c[52] - 0.5 * c[53]), kRel);
  EXPECT_EQ(m.P(68), c[56]);
  for (int k : {1, 7, 16, 17, 18, 19}) EXPECT_EQ(m.P(k), 0.0) << k;
}

TEST_F(SyntheticTables, NewMaterialWithoutHeatDevelopment) {
  TVemtoMaterial m("Rock", 0, 1, 0.0, 0.5, dir.Path(""));
  EXPECT_EQ(m.Option(1), 0);
  for (int k : {39, 40, 65, 66, 67, 68}) EXPECT_EQ(m.P(k), 0.0) << k;
  EXPECT_EQ(m.P(31), c[17]);
  EXPECT_EQ(m.P(10), 2.0);  // cement values are still taken
}

TEST_F(SyntheticTables, BadArgumentsAreRefused) {
  const std::string d = dir.Path("");
  EXPECT_THROW(TVemtoMaterial("M", 1, 3, 300, 0.5, d), std::invalid_argument);  // no type 3
  EXPECT_THROW(TVemtoMaterial("M", 1, 0, 300, 0.5, d), std::invalid_argument);
  EXPECT_THROW(TVemtoMaterial("M", 2, 1, 300, 0.5, d), std::invalid_argument);
  EXPECT_THROW(TVemtoMaterial("M", 1, 1, 300, 0.0, d), std::invalid_argument);
  EXPECT_THROW(TVemtoMaterial("M", 1, 1, 300, -0.5, d), std::invalid_argument);
  EXPECT_THROW(TVemtoMaterial("M", 1, 1, 300, std::nan(""), d), std::invalid_argument);
  EXPECT_THROW(TVemtoMaterial("M", 1, 1, -1, 0.5, d), std::invalid_argument);
  EXPECT_THROW(TVemtoMaterial(std::string(256, 'n'), 1, 1, 300, 0.5, d), std::invalid_argument);
  EXPECT_NO_THROW(TVemtoMaterial(std::string(255, 'n'), 1, 1, 300, 0.5, d));
  // A ratio that makes the compressive strength negative gives a non-finite modulus.
  EXPECT_THROW(TVemtoMaterial("M", 1, 1, 300, 10.0, d), std::invalid_argument);
}

TEST_F(SyntheticTables, MissingConcreteFileRefusesCreationButNotLoading) {
  TVemtoMaterial saved("Concrete", 1, 1, 300, 0.5, dir.Path(""));
  TStream s;
  saved.SaveToStream(s);
  fs::remove(dir.Path("conpropt"));
  try {
    TVemtoMaterial m("New", 1, 1, 300, 0.5, dir.Path(""));
    ADD_FAILURE();
  } catch (const PropertyFileError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(dir.Path("conpropt")), std::string::npos) << what;
    EXPECT_NE(what.find("missing"), std::string::npos) << what;
    EXPECT_NE(what.find("\"New\""), std::string::npos) << what;
  }
  TVemtoMaterial loaded;
  loaded.PropertyFolder = dir.Path("");
  loaded.VersionMinor = 1;
  loaded.LoadFromStream(s);
  EXPECT_EQ(loaded.Name, "Concrete");
  EXPECT_EQ(loaded.Properties, saved.Properties);
  EXPECT_EQ(loaded.Concrete.Value(7), 0.0);
  EXPECT_EQ(loaded.WaterCementRatio(), 0.0);  // 0 / (P64 - 0)
  EXPECT_TRUE(loaded.PropertyFileWarning.empty());
}

TEST_F(SyntheticTables, MissingOrBadCementFile) {
  fs::remove(dir.Path("cempropt"));
  EXPECT_THROW(TVemtoMaterial("M", 1, 1, 300, 0.5, dir.Path("")), PropertyFileError);
  TVemtoMaterial inert("Rock", 0, 1, 0, 0.5, dir.Path(""));  // no heat: no cement needed
  EXPECT_EQ(inert.P(10), 0.0);

  WriteText(dir.Path("cempropt"), "25\n");
  EXPECT_THROW(TVemtoMaterial("M", 0, 1, 300, 0.5, dir.Path("")), PropertyFileError);
  // Loading tolerates the bad file and says why the table is empty.
  TStream s;
  inert.SaveToStream(s);
  TVemtoMaterial loaded;
  loaded.PropertyFolder = dir.Path("");
  loaded.VersionMinor = 1;
  loaded.LoadFromStream(s);
  EXPECT_EQ(loaded.Cement.CementCount, 0);
  EXPECT_NE(loaded.PropertyFileWarning.find("at most 20"), std::string::npos);
  EXPECT_NEAR(loaded.WaterCementRatio(), 0.5, 0.5 * kRel);
}

TEST(SimMaterialRecord, LayoutsByVersion) {
  TVemtoMaterial m;
  m.Name = "Abc";
  m.RefCount = 2;
  for (int k = 1; k <= 68; ++k) m.P(k) = k;
  for (int k = 1; k <= 7; ++k) m.Option(k) = k % 2;
  const std::size_t head = 4 + 4 + 4;  // text length, "Abc" and zero, RefCount
  for (const auto& [minor, props] : {std::pair{0, 63}, std::pair{1, 68}, std::pair{7, 0}}) {
    m.VersionMinor = minor;
    TStream s;
    m.SaveToStream(s);
    EXPECT_EQ(s.Size(), head + 8u * props + 4u * 7) << minor;
  }
  m.VersionMajor = 2;
  m.VersionMinor = 1;
  TStream none;
  m.SaveToStream(none);
  EXPECT_EQ(none.Size(), head + 4u * 7);
}

TEST(SimMaterialRecord, FieldOffsets) {
  TVemtoMaterial m;
  m.Name = "M";
  m.RefCount = 258;
  m.VersionMinor = 1;
  m.P(1) = 1.5;
  m.P(68) = -2.0;
  m.Option(1) = 1;
  m.Option(7) = 7;
  TStream s;
  m.SaveToStream(s);
  const auto& b = s.Bytes();
  ASSERT_EQ(b.size(), 4u + 2 + 4 + 68 * 8 + 7 * 4);
  const std::vector<std::uint8_t> head{2, 0, 0, 0, 'M', 0, 2, 1, 0, 0};  // length, text, RefCount
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 10), head);
  double v;
  std::memcpy(&v, b.data() + 10, 8);
  EXPECT_EQ(v, 1.5);
  std::memcpy(&v, b.data() + 10 + 67 * 8, 8);
  EXPECT_EQ(v, -2.0);
  std::int32_t o;
  std::memcpy(&o, b.data() + 10 + 68 * 8, 4);
  EXPECT_EQ(o, 1);
  std::memcpy(&o, b.data() + b.size() - 4, 4);
  EXPECT_EQ(o, 7);
}

TEST(SimMaterialRecord, OlderLayoutTakesStrengthFromP22) {
  TVemtoMaterial m;
  for (int k = 1; k <= 68; ++k) m.P(k) = k;
  m.Name = "Old";
  m.VersionMinor = 0;
  TStream s;
  m.SaveToStream(s);
  TVemtoMaterial loaded;
  loaded.PropertyFolder = kBundled;
  loaded.VersionMinor = 0;
  loaded.LoadFromStream(s);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(loaded.P(63), 63.0);
  EXPECT_EQ(loaded.P(64), 22.0);
  for (int k = 65; k <= 68; ++k) EXPECT_EQ(loaded.P(k), 0.0);
  EXPECT_EQ(loaded.Name, "Old");
}

TEST(SimMaterialRecord, RoundTripAndDamagedRecords) {
  TVemtoMaterial m("Concrete", 1, 1, 350, 0.45, kBundled);
  m.RefCount = 3;
  m.Option(5) = 1;
  TStream s;
  m.SaveToStream(s);
  TVemtoMaterial loaded;
  loaded.PropertyFolder = kBundled;
  loaded.VersionMinor = 1;
  loaded.LoadFromStream(s);
  EXPECT_EQ(loaded.Name, m.Name);
  EXPECT_EQ(loaded.RefCount, 3);
  EXPECT_EQ(loaded.Properties, m.Properties);  // exact: bytes copied
  EXPECT_EQ(loaded.Options, m.Options);
  EXPECT_NEAR(loaded.WaterCementRatio(), 0.45, 0.45 * kRel);

  // Every truncation is rejected and leaves the material and the position unchanged.
  const auto& bytes = s.Bytes();
  for (std::size_t n = 0; n < bytes.size(); n += 7) {
    TStream cut(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    TVemtoMaterial target;
    target.PropertyFolder = kBundled;
    target.VersionMinor = 1;
    target.Name = "unchanged";
    EXPECT_THROW(target.LoadFromStream(cut), StreamError) << n;
    EXPECT_EQ(target.Name, "unchanged");
    EXPECT_EQ(cut.Position(), 0u);
  }
  m.Name = std::string(256, 'x');
  TStream tooLong;
  EXPECT_THROW(m.SaveToStream(tooLong), StreamError);
  EXPECT_EQ(tooLong.Size(), 0u);
}

TEST(SimMaterial, CopyFromMaterialCopiesNameValuesAndOptionsOnly) {
  TVemtoMaterial a("Library", 1, 2, 400, 0.4, kBundled);
  a.RefCount = 5;
  TVemtoMaterial b("Model", 0, 1, 0, 0.6, kBundled);
  b.RefCount = 1;
  b.CopyFromMaterial(a);
  EXPECT_EQ(b.Name, "Library");
  EXPECT_EQ(b.Properties, a.Properties);
  EXPECT_EQ(b.Options, a.Options);
  EXPECT_EQ(b.RefCount, 1);
}

TEST(SimMaterialList, UniqueNames) {
  TVemtoMaterialList list;
  EXPECT_EQ(list.MakeUniqueName("Concrete"), "Concrete");
  auto add = [&list](const std::string& name) {
    auto m = std::make_unique<TVemtoMaterial>();
    m->Name = list.MakeUniqueName(name);
    return list.Add(std::move(m))->Name;
  };
  EXPECT_EQ(add("Concrete"), "Concrete");
  EXPECT_EQ(add("Concrete"), "Concrete1");
  EXPECT_EQ(add("Concrete"), "Concrete2");
  EXPECT_TRUE(list.Contains("Concrete1"));
  EXPECT_FALSE(list.Contains("concrete"));  // case-sensitive
  EXPECT_EQ(list.IndexOf(list[2]), 2);
  EXPECT_EQ(list.IndexOf(nullptr), -1);
  // A numbered name never grows beyond what a record can hold.
  const std::string longName(255, 'L');
  EXPECT_EQ(add(longName), longName);
  const std::string second = add(longName);
  EXPECT_EQ(second, std::string(254, 'L') + "1");
  auto extracted = list.Extract(list[0]);
  ASSERT_NE(extracted, nullptr);
  EXPECT_EQ(list.Count(), 4u);
  EXPECT_FALSE(list.Contains("Concrete"));
}

// The bundled property files give realistic structural concrete for every cement type.
TEST(SimBundledData, DefaultMaterialsAreRealisticStructuralConcrete) {
  TVemtoCement cement;
  ASSERT_TRUE(cement.ReadFromFile(kBundled / "cempropt"));
  ASSERT_GE(cement.CementCount, 5);
  for (int type = 1; type <= cement.CementCount; ++type) {
    SCOPED_TRACE(cement.Name(type));
    const TVemtoMaterial m("C", 1, type, 300.0, 0.5, kBundled);
    EXPECT_NEAR(m.WaterCementRatio(), 0.5, 0.5 * kRel);
    // Heat development parameters.
    EXPECT_GE(m.P(10), 350e3);
    EXPECT_LE(m.P(10), 500e3);
    EXPECT_GE(m.P(12), 3600.0);  // t1 of hours
    EXPECT_LE(m.P(12), 48 * 3600.0);
    EXPECT_GE(m.P(14), 4000.0);  // theta0, K
    EXPECT_LE(m.P(14), 7000.0);
    EXPECT_GE(m.P(15), 0.3);
    EXPECT_LE(m.P(15), 0.7);
    const double alpha28 = DegreeOfHydration(m.P(11), m.P(12), m.P(13), 28 * 86400.0);
    const double alpha1 = DegreeOfHydration(m.P(11), m.P(12), m.P(13), 86400.0);
    EXPECT_GT(alpha28, 0.6);
    EXPECT_LT(alpha28, 0.97);
    EXPECT_LT(alpha1, alpha28);
    // Strength and stiffness at 28 days (the reference maturity).
    EXPECT_NEAR(m.P(20), 28 * 86400.0, 1e-6);
    EXPECT_GE(m.P(64), 30e6);
    EXPECT_LE(m.P(64), 45e6);
    EXPECT_GE(m.P(23), 30e9);
    EXPECT_LE(m.P(23), 38e9);
    EXPECT_GE(m.P(32), 2.5e6);
    EXPECT_LE(m.P(32), 3.5e6);
    for (int first : {24, 33, 65}) {
      const double f =
          DevelopmentFactor(m.P(first), m.P(first + 1), m.P(first + 2), m.P(first + 3), 1.0);
      EXPECT_NEAR(f, 1.0, 0.02) << "development factor of P" << first;
      const double early =
          DevelopmentFactor(m.P(first), m.P(first + 1), m.P(first + 2), m.P(first + 3), 1.0 / 28.0);
      EXPECT_GT(early, 0.2);
      EXPECT_LT(early, 0.8);
    }
    // Thermal and physical constants.
    EXPECT_NEAR(m.P(39), 1e-5, 0.2e-5);
    EXPECT_GE(m.P(3), 1.7);
    EXPECT_LE(m.P(3), 2.5);
    EXPECT_GE(m.P(4), 2300.0);
    EXPECT_LE(m.P(4), 2400.0);
    EXPECT_GE(m.P(5), 900.0);
    EXPECT_LE(m.P(5), 1100.0);
    EXPECT_GT(m.P(28), m.P(29));  // Poisson's ratio falls from young to hardened
    EXPECT_NEAR(m.P(29), 0.2, 0.02);
    EXPECT_GT(m.P(43), 0.0);  // creep
  }
  // The rapid-hardening type hydrates faster, the low-heat type slower, than Portland.
  auto alphaDay = [&cement](int type) {
    return DegreeOfHydration(cement.TypeValue(type, 3), cement.TypeValue(type, 4),
                             cement.TypeValue(type, 5), 86400.0);
  };
  EXPECT_GT(alphaDay(2), alphaDay(1));
  EXPECT_LT(alphaDay(3), alphaDay(1));
}

TEST(SimDevelopment, ClosedForms) {
  // At x = 1 with a1 = a2 = 2 the factor is 1.
  EXPECT_NEAR(DevelopmentFactor(2, 2, 2, 0.1, 1.0), 1.0, 1e-15);
  EXPECT_NEAR(DevelopmentFactor(4, 1, 4, 1, 0.5), 1.0, 1e-15);  // 1/(1/2 + 1/2)
  // alpha = exp(-lambda (ln 2)^-kappa) at te = t1.
  EXPECT_NEAR(DegreeOfHydration(1.5, 36000, 2.0, 36000),
              std::exp(-1.5 / (std::log(2.0) * std::log(2.0))), 1e-15);
  EXPECT_EQ(DegreeOfHydration(1.5, 36000, 2.0, 0.0), 0.0);
}

}  // namespace
}  // namespace vemto
