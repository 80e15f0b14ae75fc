#include "service/client_table.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::service {
namespace {

TEST(ClientTableTest, StartsEmpty) {
  const ClientTable table;
  EXPECT_EQ(table.ClientRowsUsed(), 0);
  EXPECT_EQ(table.ActiveClientCount(), 0);
  for (std::uint16_t row = 1; row <= ClientTable::MaxClients; ++row) {
    EXPECT_EQ(table.Row(row), ClientRecord{});
  }
  EXPECT_EQ(table.Find_client_data_index(7), 0);
}

TEST(ClientTableTest, FreedRowGoesToTheNextClientAndTheLiveAreaDoesNotShrink) {
  ClientTable table;
  EXPECT_EQ(table.ClientConnect(101, "10.0.0.1", "alpha", 5001), 1);
  EXPECT_EQ(table.ClientConnect(102, "10.0.0.2", "beta", 5002), 2);
  EXPECT_EQ(table.ClientConnect(103, "10.0.0.3", "gamma", 5003), 3);
  EXPECT_EQ(table.ClientDisconnect(102), 2);
  EXPECT_EQ(table.Row(2), ClientRecord{});
  EXPECT_EQ(table.ClientRowsUsed(), 3);
  EXPECT_EQ(table.ActiveClientCount(), 2);

  EXPECT_EQ(table.ClientConnect(104, "10.0.0.4", "delta", 5004), 2);
  EXPECT_EQ(table.Row(2), (ClientRecord{true, 104, "10.0.0.4", "delta", 5004}));
  EXPECT_EQ(table.ClientRowsUsed(), 3);
  EXPECT_EQ(table.ActiveClientCount(), 3);

  // Every client leaves: the live area stays three rows long.
  for (std::uint32_t handle : {101u, 103u, 104u}) EXPECT_NE(table.ClientDisconnect(handle), 0);
  EXPECT_EQ(table.ClientRowsUsed(), 3);
  EXPECT_EQ(table.ActiveClientCount(), 0);
  EXPECT_EQ(table.ClientConnect(105, "10.0.0.5", "", 5005), 1);
}

TEST(ClientTableTest, HandleStillRecordedKeepsItsRow) {
  ClientTable table;
  ASSERT_EQ(table.ClientConnect(1, "10.0.0.1", "", 1), 1);
  ASSERT_EQ(table.ClientConnect(2, "10.0.0.2", "", 2), 2);
  // The close of handle 2 was never seen; a new connection with that handle
  // refreshes row 2 instead of taking a third one.
  EXPECT_EQ(table.ClientConnect(2, "10.0.0.9", "new", 9), 2);
  EXPECT_EQ(table.Row(2), (ClientRecord{true, 2, "10.0.0.9", "new", 9}));
  EXPECT_EQ(table.ClientRowsUsed(), 2);
  EXPECT_EQ(table.ActiveClientCount(), 2);
}

TEST(ClientTableTest, ThirtyThirdClientIsNotRecordedUntilARowIsFree) {
  ClientTable table;
  for (std::uint32_t handle = 1; handle <= 32; ++handle) {
    ASSERT_EQ(table.ClientConnect(handle, "10.0.0.1", "", 1), handle);
  }
  EXPECT_EQ(table.ClientConnect(33, "10.0.0.33", "", 33), 0);
  EXPECT_EQ(table.Find_client_data_index(33), 0);
  EXPECT_EQ(table.ClientDisconnect(33), 0);  // closing an unlisted client changes nothing
  EXPECT_EQ(table.ClientRowsUsed(), 32);
  EXPECT_EQ(table.ActiveClientCount(), 32);

  ASSERT_EQ(table.ClientDisconnect(17), 17);
  EXPECT_EQ(table.ClientConnect(34, "10.0.0.34", "", 34), 17);
}

TEST(ClientTableTest, TextsAreCutToSixteenCharacters) {
  struct Case {
    std::string text;
    std::string kept;
  };
  const Case cases[] = {
      {"", ""},
      {"host", "host"},
      {"exactly-16-chars", "exactly-16-chars"},
      {"seventeen-chars-x", "seventeen-chars-"},
      {"workstation-42.lab.example.org", "workstation-42.l"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ClientTable table;
    ASSERT_EQ(table.ClientConnect(5, c.text, c.text, 1), 1);
    EXPECT_EQ(table.Row(1).Address, c.kept);
    EXPECT_EQ(table.Row(1).HostName, c.kept);
    ASSERT_TRUE(table.SetHostName(5, c.text + c.text));
    EXPECT_EQ(table.Row(1).HostName, (c.text + c.text).substr(0, 16));
  }
}

TEST(ClientTableTest, LookupAndHostNameFollowTheHandleWithinTheLiveArea) {
  ClientTable table;
  ASSERT_EQ(table.ClientConnect(10, "10.0.0.1", "", 1), 1);
  ASSERT_EQ(table.ClientConnect(20, "10.0.0.2", "", 2), 2);
  ASSERT_EQ(table.ClientConnect(30, "10.0.0.3", "", 3), 3);
  EXPECT_EQ(table.Find_client_data_index(20), 2);
  EXPECT_EQ(table.Find_client_data_index(30), 3);
  EXPECT_EQ(table.Find_client_data_index(40), 0);
  EXPECT_EQ(table.Find_client_data_index(0), 0);  // no free row in the live area

  ASSERT_EQ(table.ClientDisconnect(20), 2);
  EXPECT_EQ(table.Find_client_data_index(20), 0);
  EXPECT_EQ(table.Find_client_data_index(0), 2);
  EXPECT_FALSE(table.SetHostName(20, "gone"));  // the row no longer belongs to 20
  EXPECT_EQ(table.Row(2).HostName, "");
  EXPECT_FALSE(table.SetHostName(0, "free"));
  EXPECT_TRUE(table.SetHostName(30, "gamma"));
  EXPECT_EQ(table.Row(3).HostName, "gamma");
}

}  // namespace
}  // namespace orvik::service
