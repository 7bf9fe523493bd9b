#!/usr/bin/env python3
"""Writes engine_log_v4_golden.csv from the file layout alone (not from the
tool): the version line with the rate, the 21 column names each followed by a
comma and seven TABs (the last by CR LF), then one line per record, oldest
first, fields in column order, CR LF line ends. The records are the ones
CEngineLogTest builds."""

names = ["counter", "engine_state", "temperature", "engine_rpm", "pump_vol",
         "radio_vol", "engine_vol", "pressure", "rc_input1", "rc_input2", "speed",
         "pump_st", "pump_rpm", "error_coe", "current", "tcu_temp", "ecu_temp",
         "thrust", "fuel_temp", "fuel_press", "combustion_press"]

records = [  # oldest first, in column order
    [0] * 21,
    [1, 5, 650, 85000, 2150, 502, 1180, 100800, 1500, 2000, 0, 2, 4250, 33, 123,
     41, 38, 1234, 24, 345, 180],
    [33554430, 6, -60, 0, 0, 0, 0, 0, 1000, 1000, 398, 3, 0, 2147483647,
     -2147483648, -58, 0, 0, -12, 0, 2046],
]

header = "".join(n + (",\t\t\t\t\t\t\t" if i < len(names) - 1 else "\r\n")
                 for i, n in enumerate(names))
assert len(header) == 348
text = "version,4,8\r\n" + header
for r in records:
    text += ",".join(str(v) for v in r) + "\r\n"
with open("engine_log_v4_golden.csv", "wb") as f:
    f.write(text.encode("ascii"))
