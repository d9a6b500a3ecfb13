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

TEST(WSocketServer, ListenAcceptDupAndTalkBothWays) {
  TWSocket server;
  std::string port = ListenOnLoopback(server);
  ASSERT_EQ(server.State(), wsListening);
  ASSERT_NE(port, "0");

  std::unique_ptr<TWSocket> served;
  std::string served_got;
  server.OnSessionAvailable = [&](TCustomWSocket* s, int error) {
    EXPECT_EQ(error, 0);
    int h = s->Accept();
    ASSERT_GE(h, 0);
    served = std::make_unique<TWSocket>();
    served->OnDataAvailable = [&](TCustomWSocket* c, int) { served_got += c->ReceiveStr(); };
    served->Dup(h);
  };

  TWSocket client;
  bool up = false;
  std::string client_got;
  client.OnSessionConnected = [&](TCustomWSocket*, int e) { up = e == 0; };
  client.OnDataAvailable = [&](TCustomWSocket* c, int) { client_got += c->ReceiveStr(); };
  int client_closed = 0;
  client.OnSessionClosed = [&](TCustomWSocket*, int) { ++client_closed; };
  client.SetAddr("127.0.0.1");
  client.SetPort(port);
  client.Connect();
  ASSERT_TRUE(Pump([&] { return up && served != nullptr; }));
  EXPECT_EQ(served->State(), wsConnected);
  EXPECT_EQ(served->GetPeerPort(), client.GetXPort());

  client.SendStr("EHLO me\r\n");
  ASSERT_TRUE(Pump([&] { return served_got == "EHLO me\r\n"; }));
  served->SendStr("250 hi\r\n");
  ASSERT_TRUE(Pump([&] { return client_got == "250 hi\r\n"; }));

  // The served side closes: the client sees it once.
  served->Close();
  ASSERT_TRUE(Pump([&] { return client_closed == 1; }));
}

TEST(WSocketServer, ListenAndAcceptErrors) {
  TWSocket s;
  EXPECT_EQ(SocketThrown([&] { s.Listen(); }), "listen: port not assigned");
  s.SetPort("0");
  EXPECT_EQ(SocketThrown([&] { s.Listen(); }), "listen: address not assigned");
  EXPECT_EQ(s.LastError(), 10022);
  EXPECT_EQ(SocketThrown([&] { s.Accept(); }), "Error 10022 in function not a listening socket\r\nInvalid argument");
  s.OnError = [](TCustomWSocket*) {};
  EXPECT_EQ(s.Accept(), kInvalidSocket);
  EXPECT_EQ(s.LastError(), 10022);
  s.Dup(-1);
  EXPECT_EQ(s.LastError(), 10022);
  EXPECT_EQ(s.LastErrorText(), "Error 10022 in function Dup\r\nInvalid argument");

  // A port in use.
  TWSocket a, b;
  b.SetAddr("127.0.0.1");
  b.SetPort(ListenOnLoopback(a));
  EXPECT_EQ(SocketThrown([&] { b.Listen(); }), "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(b.State(), wsClosed);
  EXPECT_EQ(b.HSocket(), kInvalidSocket);
}

TEST(WSocketServer, ANotAcceptingHandlerIsNotCalledOverAndOver) {
  TWSocket server;
  TWSocket client;
  client.SetPort(ListenOnLoopback(server));
  int events = 0;
  server.OnSessionAvailable = [&](TCustomWSocket*, int) { ++events; };
  client.SetAddr("127.0.0.1");
  client.Connect();
  ASSERT_TRUE(Pump([&] { return events > 0; }));
  PumpFor(100);
  EXPECT_EQ(events, 1);
  EXPECT_GE(server.Accept(), 0);
}

TEST(WSocketDatagram, SendAndReceiveBothWays) {
  TWSocket rx;
  std::string rx_port = ListenOnLoopback(rx, "udp");
  ASSERT_EQ(rx.State(), wsListening);

  std::vector<std::string> rx_got;
  sockaddr_in last_from{};
  rx.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[4000];
    sockaddr_in from{};
    int n = s->ReceiveFrom(buf, sizeof buf, from);
    if (n >= 0) {
      rx_got.emplace_back(buf, static_cast<std::size_t>(n));
      last_from = from;
    }
  };

  TWSocket tx;
  std::vector<int> connected;
  std::vector<std::string> tx_got;
  tx.OnSessionConnected = [&](TCustomWSocket*, int e) { connected.push_back(e); };
  tx.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[100];
    int n = s->Receive(buf, sizeof buf);
    if (n >= 0) tx_got.emplace_back(buf, static_cast<std::size_t>(n));
  };
  int sent_events = 0;
  tx.OnDataSent = [&](TCustomWSocket*, int) { ++sent_events; };
  tx.SetProtoName("udp");
  tx.SetAddr("127.0.0.1");
  tx.SetPort(rx_port);
  tx.SetLocalAddr("127.0.0.1");  // also the multicast interface
  tx.SetMultiCastIpTTL(4);
  tx.Connect();
  // A datagram socket is connected at once.
  ASSERT_EQ(connected.size(), 1u);
  EXPECT_EQ(connected[0], 0);
  EXPECT_EQ(tx.State(), wsConnected);

  EXPECT_EQ(tx.SendStr("ping"), 4);
  std::string big(3000, 'd');  // more than one queue chunk: still one datagram
  EXPECT_EQ(tx.SendStr(big), 3000);
  ASSERT_TRUE(Pump([&] { return rx_got.size() == 2 && sent_events == 2; }));
  EXPECT_EQ(rx_got[0], "ping");
  EXPECT_EQ(rx_got[1], big);
  EXPECT_EQ(std::to_string(ntohs(last_from.sin_port)), tx.GetXPort());

  EXPECT_EQ(rx.SendTo(last_from, "pong", 4), 4);
  ASSERT_TRUE(Pump([&] { return tx_got.size() == 1; }));
  EXPECT_EQ(tx_got[0], "pong");

  // A bad buffer: -1 with the error number.
  EXPECT_EQ(rx.SendTo(last_from, nullptr, 4), -1);
  EXPECT_EQ(rx.LastError(), 10014);
}
