// Labels: velmora's tables as velmora reads them, the label of each kind of
// type symbol (ion, neutral atom, a charge the tables lack, a charge that
// cannot be read) and the magnetic atoms that no <j0> row fits.
#include "cif/table_labels.hpp"

#include <gtest/gtest.h>

#include <gemmi/small.hpp>
#include <string>
#include <vector>

namespace {

using velmora::cif::CifSite;
using velmora::cif::ConversionError;
using velmora::cif::TableLabels;
using velmora::cif::Warnings;

const TableLabels& shipped() {
  static const TableLabels labels = velmora::cif::read_table_labels(VELMORA_SHIPPED_TABLES);
  return labels;
}

CifSite site_of(const std::string& type, bool magnetic) {
  CifSite site;
  site.label = "A1";
  site.type_symbol = type;
  gemmi::split_element_and_charge(type, &site);
  site.magnetic = magnetic;
  return site;
}

TEST(TableLabels, TheShippedTablesGiveTheLabelsTheirReadmeLists) {
  // data/README.md: 187 rows in the X-ray and neutron files; of the magnetic
  // file, rows 1 to 49 have rows in the other two.
  EXPECT_EQ(shipped().nuclear.size(), 187u);
  EXPECT_EQ(shipped().magnetic.size(), 49u);
  for (const char* label : {"Hxx", "Dxx", "O2-", "Fe3", "Cl1", "U6+"})
    EXPECT_EQ(shipped().nuclear.count(label), 1u);
  for (const char* label : {"Mn2", "Fe3", "Cux", "U4+"}) EXPECT_EQ(shipped().magnetic.count(label), 1u);
  for (const char* label : {"Sc1", "Mn1", "Am7"}) EXPECT_EQ(shipped().magnetic.count(label), 0u);
}

TEST(TableLabels, ATablesFolderWithoutTheFilesFails) {
  EXPECT_THROW(velmora::cif::read_table_labels(VELMORA_CIF_TEST_DATA), ConversionError);
}

TEST(TableLabels, LabelsAreWrittenAsTheTablesWriteThem) {
  struct Case {
    gemmi::El element;
    int charge;
    std::string label;
  };
  const std::vector<Case> cases = {{gemmi::El::Fe, 0, "Fex"}, {gemmi::El::O, 0, "Oxx"},
                                   {gemmi::El::Fe, 3, "Fe3"}, {gemmi::El::O, -2, "O2-"},
                                   {gemmi::El::V, 3, "V3+"},  {gemmi::El::Cl, -1, "Cl1"},
                                   {gemmi::El::D, 0, "Dxx"}};
  for (const Case& c : cases) {
    const std::string got =
        c.charge == 0 ? velmora::cif::neutral_label(c.element) : velmora::cif::ion_label(c.element, c.charge);
    EXPECT_EQ(got, c.label);
  }
}

TEST(ChooseLabel, IonWhenTheTablesHaveItElseTheNeutralAtomWithAWarning) {
  struct Case {
    std::string type;
    bool magnetic;
    std::string label;
    bool warned;
  };
  const std::vector<Case> cases = {
      {"Fe3+", false, "Fe3", false}, {"Fe3+", true, "Fe3", false},  {"Mn2+", true, "Mn2", false},
      {"O2-", false, "O2-", false},  {"Na1+", false, "Na1", false}, {"Cl-", false, "Cl1", false},
      {"V3+", false, "V3+", false},  {"Fe", false, "Fex", false},   {"Fe", true, "Fex", false},
      {"O", false, "Oxx", false},    {"D", false, "Dxx", false},    {"Si4+", false, "Si4", false},
      {"Fe4+", false, "Fex", true},  {"Co4+", true, "Cox", true},   {"S2-", false, "Sxx", true},
  };
  for (const Case& c : cases) {
    Warnings warnings;
    EXPECT_EQ(velmora::cif::velmora_label(site_of(c.type, c.magnetic), shipped(), "x.cif", warnings), c.label)
        << c.type;
    EXPECT_EQ(warnings.lines.size(), c.warned ? 1u : 0u) << c.type;
  }
  CifSite unreadable = site_of("Mn1", true);
  unreadable.charge_unreadable = true;
  Warnings warnings;
  EXPECT_EQ(velmora::cif::velmora_label(unreadable, shipped(), "x.cif", warnings), "Mnx");
  ASSERT_EQ(warnings.lines.size(), 1u);
  EXPECT_NE(warnings.lines[0].find("no charge can be read"), std::string::npos);
}

TEST(ChooseLabel, AnAtomWithoutItsRowFailsNamingTheLabelsThatWouldDo) {
  struct Case {
    std::string type;
    bool magnetic;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"Ti4+", true,
       "x.cif: atom 'A1' (type Ti4+) is magnetic, but the magnetic table has no row Ti4; labels that "
       "would do: Ti2 Ti3 Tix"},
      {"Ce3+", true, "the magnetic table has no row Ce3 and none for Ce"},
      {"Ca2+", true, "the magnetic table has no row Ca2 and none for Ca"},
      {"Po", false, "x.cif: atom 'A1' (type Po): the tables in"},
  };
  for (const Case& c : cases) {
    Warnings warnings;
    try {
      velmora::cif::velmora_label(site_of(c.type, c.magnetic), shipped(), "x.cif", warnings);
      ADD_FAILURE() << c.type << " accepted";
    } catch (const ConversionError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
