# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type


class ModuleDocFragment(object):

    # What the common attributes mean; each module says how far it supports them.
    DOCUMENTATION = r'''
options: {}
attributes:
  check_mode:
    description: Can run in check mode and return the changed status it predicts without changing the printer.
  diff_mode:
    description: Returns what changed (or would change in check mode) when run in diff mode.
'''

    # For modules that only read.
    INFO_MODULE = r'''
options: {}
attributes:
  check_mode:
    support: full
    details:
      - This module changes nothing and runs the same in check mode.
  diff_mode:
    support: N/A
    details:
      - This module changes nothing.
'''
