// Listening, accepting, adopting handles and datagrams on 127.0.0.1.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mail/wsocket.h"
#include "mail/wsocket_test_util.h"

using namespace tav;
using namespace tav::test;

namespace {

// Listens on a free port of 127.0.0.1; returns the port.
std::string ListenOnLoopback(TWSocket& s, const char* proto = "tcp") {
  s.SetProtoName(proto);
  s.SetAddr("127.0.0.1");
  s.SetPort("0");
  s.Listen();
  return s.GetXPort();
}

}  // namespace

// A handler that does not accept is called once, not over and over; the
// handle accepted later is adopted by Dup and talks both ways.
TEST(WSocketServer, ListenAcceptDupAndTalkBothWays) {
  TWSocket server;
  std::string port = ListenOnLoopback(server);
  ASSERT_EQ(server.State(), wsListening);
  ASSERT_NE(port, "0");
  int offers = 0;
  server.OnSessionAvailable = [&](TCustomWSocket*, int error) {
    EXPECT_EQ(error, 0);
    ++offers;
  };
  TWSocket client, served;
  std::string client_got, served_got;
  int client_closed = 0;
  client.OnDataAvailable = [&](TCustomWSocket* c, int) { client_got += c->ReceiveStr(); };
  client.OnSessionClosed = [&](TCustomWSocket*, int) { ++client_closed; };
  served.OnDataAvailable = [&](TCustomWSocket* c, int) { served_got += c->ReceiveStr(); };
  client.SetAddr("127.0.0.1");
  client.SetPort(port);
  client.Connect();
  ASSERT_TRUE(Pump([&] { return offers > 0; }));
  PumpFor(100);
  EXPECT_EQ(offers, 1);
  served.Dup(server.Accept());
  EXPECT_EQ(served.State(), wsConnected);
  ASSERT_TRUE(Pump([&] { return client.State() == wsConnected; }));
  EXPECT_EQ(served.GetPeerPort(), client.GetXPort());

  client.SendStr("EHLO me\r\n");
  ASSERT_TRUE(Pump([&] { return served_got == "EHLO me\r\n"; }));
  served.SendStr("250 hi\r\n");
  ASSERT_TRUE(Pump([&] { return client_got == "250 hi\r\n"; }));
  // The served side closes: the client sees it once.
  served.Close();
  ASSERT_TRUE(Pump([&] { return client_closed == 1; }));
}

TEST(WSocketServer, ListenAndAcceptErrors) {
  TWSocket s;
  EXPECT_EQ(SocketThrown([&] { s.Listen(); }), "listen: port not assigned");
  s.SetPort("0");
  EXPECT_EQ(SocketThrown([&] { s.Listen(); }), "listen: address not assigned");
  EXPECT_EQ(SocketThrown([&] { s.Accept(); }), "Error 10022 in function not a listening socket\r\nInvalid argument");
  s.OnError = [](TCustomWSocket*) {};
  EXPECT_EQ(s.Accept(), kInvalidSocket);
  s.Dup(-1);
  EXPECT_EQ(s.LastErrorText(), "Error 10022 in function Dup\r\nInvalid argument");

  // A port in use.
  TWSocket a, b;
  b.SetAddr("127.0.0.1");
  b.SetPort(ListenOnLoopback(a));
  EXPECT_EQ(SocketThrown([&] { b.Listen(); }), "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(b.State(), wsClosed);
  EXPECT_EQ(b.HSocket(), kInvalidSocket);
}

TEST(WSocketDatagram, SendAndReceiveBothWays) {
  TWSocket rx;
  std::string rx_port = ListenOnLoopback(rx, "udp");
  ASSERT_EQ(rx.State(), wsListening);
  std::vector<std::string> rx_got;
  sockaddr_in from{};
  rx.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[4000];
    int n = s->ReceiveFrom(buf, sizeof buf, from);
    if (n >= 0) rx_got.emplace_back(buf, static_cast<std::size_t>(n));
  };

  TWSocket tx;
  Recorder rec;
  rec.Attach(tx);
  tx.SetProtoName("udp");
  tx.SetAddr("127.0.0.1");
  tx.SetPort(rx_port);
  tx.SetLocalAddr("127.0.0.1");  // also the multicast interface
  tx.SetMultiCastIpTTL(4);
  tx.Connect();
  EXPECT_EQ(rec.connected, 1);  // a datagram socket is connected at once
  EXPECT_EQ(tx.State(), wsConnected);

  EXPECT_EQ(tx.SendStr("ping"), 4);
  std::string big(3000, 'd');  // more than one queue chunk: still one datagram
  EXPECT_EQ(tx.SendStr(big), 3000);
  ASSERT_TRUE(Pump([&] { return rx_got.size() == 2 && rec.data_sent == 2; }));
  EXPECT_EQ(rx_got, (std::vector<std::string>{"ping", big}));
  EXPECT_EQ(std::to_string(ntohs(from.sin_port)), tx.GetXPort());
  EXPECT_EQ(rx.SendTo(from, "pong", 4), 4);
  ASSERT_TRUE(Pump([&] { return rec.received == "pong"; }));
  // A bad buffer: -1 with the error number.
  EXPECT_EQ(rx.SendTo(from, nullptr, 4), -1);
  EXPECT_EQ(rx.LastError(), 10014);
}
