# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type


class ModuleDocFragment(object):

    # The link to one printer: exactly one of serial, net, usb, lpt.
    DOCUMENTATION = r'''
options:
  serial:
    description:
      - The printer's serial port, a device path such as C(/dev/ttyUSB0) (C(COMn) means
        C(/dev/ttyS(n-1))).
      - The user needs the C(dialout) group.
      - Only one of I(serial), I(net), I(usb), I(lpt).
    type: str
  net:
    description:
      - The printer's network address and UDP port, C(ADDR[:PORT]) (port 5100 when left out).
      - Only one of I(serial), I(net), I(usb), I(lpt).
    type: str
  usb:
    description:
      - The USB printer as C(plenar list-usb) and M(plenar.printer.plenar_info) show it,
        C(VID_xxxx&PID_yyyy&SN_serial), or C(VID_xxxx&PID_yyyy&PORT_bus-port) for a printer without
        a serial number of its own; that names exactly one printer when several of a model are
        plugged in.
      - The two-part C(VID_xxxx&PID_yyyy) opens the first printer of the model.
      - The user needs the C(plenar) group (the package's udev rule gives it the device).
      - Only one of I(serial), I(net), I(usb), I(lpt).
    type: str
  lpt:
    description:
      - The parallel port number, 1 for LPT1 (C(/dev/lp0)).
      - The user needs the C(lp) group.
      - Only one of I(serial), I(net), I(usb), I(lpt).
    type: int
  device_baud:
    description:
      - The rate the printer is set to (serial only); plenar's default is 9600.
      - After an apply that changed the rate, the record keeps the new one and the next run
        finds the printer there even when this still says the old rate.
    type: int
    choices: [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]
  transfer_baud:
    description:
      - The rate a command switches the line to while it runs (serial only); plenar's default
        is 115200.
    type: int
    choices: [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]
'''

    # Where plenar is and where it keeps its files.
    PROGRAM = r'''
options:
  plenar_path:
    description:
      - The C(plenar) program to run; the one on the C(PATH) when left out.
    type: path
  state_dir:
    description:
      - Keep plenar's files (C(debug.log), the logo files built for a download, the records)
        in this folder (C(plenar --dir)).
      - Left out, plenar keeps them where C(plenar --paths) shows, for an installed plenar
        C(~/.local/state/plenar/) of the remote user.
    type: path
  record_dir:
    description:
      - The folder of the apply records, one file per printer link under the name plenar
        gives that link (C(plenar apply --record-dir)); the result's C(record.path) names it.
      - Left out, the records are in C(apply/) of plenar's state folder (see I(state_dir)).
    type: path
'''
