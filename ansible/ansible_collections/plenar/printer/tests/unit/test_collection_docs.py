# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""What the collection says about itself agrees: the README's table of the fleet role's
variables with the role's argument spec, and the changelog in the form antsibull-changelog
reads (Debian has no antsibull-changelog, so ansible-test's changelog test cannot run here)."""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import fnmatch
import os
import re

import pytest
import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def read_yaml(*path):
    with open(os.path.join(ROOT, *path), encoding='utf-8') as f:
        return yaml.safe_load(f)


def readme_role_table():
    """{variable: default column} of the README's role variable table."""
    with open(os.path.join(ROOT, 'README.md'), encoding='utf-8') as f:
        text = f.read()
    start = text.index('<!-- role variables:')
    rows = {}
    for line in text[start:].splitlines()[3:]:
        if not line.startswith('|'):
            break
        cells = [c.strip() for c in line.strip('|').split('|')]
        rows[cells[0].strip('`')] = cells[1]
    return rows


def test_readme_lists_the_role_variables_of_the_argument_spec():
    options = read_yaml('roles', 'fleet', 'meta', 'argument_specs.yml')[
        'argument_specs']['fleet']['options']
    defaults = read_yaml('roles', 'fleet', 'defaults', 'main.yml')
    table = readme_role_table()
    assert sorted(table) == sorted(options)
    for name, option in options.items():
        if option.get('required'):
            assert table[name] == 'required', name
        elif 'default' in option:
            assert yaml.safe_load(table[name].strip('`')) == option['default'], name
            assert defaults[name] == option['default'], name
        else:
            assert table[name].startswith('required unless'), name
            assert name not in defaults, name
    # Every default the role has is a described variable.
    assert set(defaults) <= set(options)


SECTIONS = ['release_summary', 'major_changes', 'minor_changes', 'breaking_changes',
            'deprecated_features', 'removed_features', 'security_fixes', 'bugfixes',
            'known_issues', 'trivial']


def fragments():
    folder = os.path.join(ROOT, 'changelogs', 'fragments')
    return sorted(n for n in os.listdir(folder) if not n.startswith('.'))


@pytest.mark.parametrize('name', fragments())
def test_changelog_fragment_is_what_antsibull_changelog_reads(name):
    assert name.endswith(('.yml', '.yaml')), name
    fragment = read_yaml('changelogs', 'fragments', name)
    assert fragment and set(fragment) <= set(SECTIONS), sorted(fragment)
    for section, entries in fragment.items():
        if section == 'release_summary':
            assert isinstance(entries, str)
            continue
        assert isinstance(entries, list) and entries, section
        for entry in entries:
            assert isinstance(entry, str) and entry.strip(), (section, entry)


def test_changelog_has_every_release_up_to_the_collections_version():
    changelog = read_yaml('changelogs', 'changelog.yaml')
    config = read_yaml('changelogs', 'config.yaml')
    assert [s[0] for s in config['sections']] == SECTIONS[1:-1]
    version = read_yaml('galaxy.yml')['version']
    releases = changelog['releases']

    def key(v):
        return tuple(int(x) for x in re.findall(r'\d+', v))

    for number, release in releases.items():
        assert key(number) <= key(version), number
        assert re.match(r'^\d{4}-\d{2}-\d{2}$', release['release_date']), number
        assert set(release.get('changes', {})) <= set(SECTIONS), number
    # The version being built is released already, or its changes wait as fragments.
    assert version in releases or fragments()


def test_licence_text_is_in_the_collection_and_its_tarball():
    # galaxy.yml names the licence; the built tarball carries its text (ansible-galaxy packs
    # every file not in build_ignore), the same as the plenar sources' LICENSE.
    with open(os.path.join(ROOT, 'LICENSE'), encoding='utf-8') as f:
        text = f.read()
    assert 'GNU GENERAL PUBLIC LICENSE' in text and 'Version 3, 29 June 2007' in text
    assert read_yaml('galaxy.yml')['license'] == ['GPL-3.0-or-later']
    ignored = read_yaml('galaxy.yml').get('build_ignore', [])
    assert not any(fnmatch.fnmatch('LICENSE', pattern) for pattern in ignored), ignored
    # In the source tree: a copy of the top-level LICENSE, kept equal to it.
    top = os.path.join(ROOT, '..', '..', '..', '..', 'LICENSE')
    if os.path.exists(top):
        with open(top, encoding='utf-8') as f:
            assert f.read() == text
