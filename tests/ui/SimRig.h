#pragma once

// The simulated unit behind a TCP bridge on a free port of 127.0.0.1.

#include "sim/Bus.h"
#include "sim/SimUnit.h"
#include "sim/TcpBridge.h"

#include <gtest/gtest.h>

struct SimRig {
    sim::Bus bus;
    sim::SimUnit unit;
    sim::TcpBridge bridge{bus, 0};

    SimRig() { bus.Attach(31, &unit); }
    ~SimRig() { bridge.Stop(); }

    void Start() { ASSERT_TRUE(bridge.Start()) << bridge.GetLastError(); }

    // A port that nobody listens on: bound once, then released.
    static uint16_t DeadPort() {
        sim::Bus bus;
        sim::TcpBridge probe(bus, 0);
        EXPECT_TRUE(probe.Start());
        const uint16_t port = probe.GetPort();
        probe.Stop();
        return port;
    }
};
