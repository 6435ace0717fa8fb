#!/usr/bin/python3
"""Writes the area-code data of the international display format from libphonenumber's
numbering-plan data (Debian's python3-phonenumbers; run with /usr/bin/python3):

- ../NumberAreaData.cpp: the area-code lists of the table countries (Cuba's list is the
  product's own and kept as it is) and the prefix rules for Germany (49) and the
  Philippines (63);
- ../tests/NumberDisplayVectors.h: numbers with the display form libphonenumber gives them,
  which the display-format test compares with its own.

An area code is the leading part of a geographic (fixed-line) number that libphonenumber
reports as its geographic area code, without trunk prefix.
"""
import os
import phonenumbers as pn
from phonenumbers.geodata import GEOCODE_DATA

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE_COUNTRIES = [27, 32, 44, 57, 91, 92, 218, 233, 256, 263, 264, 355, 359, 374, 595, 598, 880, 992]
# Cuba's list comes with the product and stays as it is.
CUBA = [21, 22, 226, 23, 24, 31, 32, 322, 33, 335, 41, 419, 42, 42, 43, 432, 5, 59, 61, 62, 63, 64,
        650, 680, 683, 687, 692, 7, 8, 82, 99]
RULE_DEPTH = {49: 5, 63: 4}
GEO_TYPES = (pn.PhoneNumberType.FIXED_LINE, pn.PhoneNumberType.FIXED_LINE_OR_MOBILE)


def possible_lengths(cc):
    """The national lengths to try, the usual fixed-line length first."""
    region = pn.region_code_for_country_code(cc)
    meta = pn.PhoneMetadata.metadata_for_region(region)
    example = pn.example_number_for_type(region, pn.PhoneNumberType.FIXED_LINE)
    typical = len(pn.national_significant_number(example)) if example else 8
    lengths = sorted(set(meta.general_desc.possible_length), key=lambda n: (abs(n - typical), -n))
    return lengths, region


def area_length(num):
    """libphonenumber's geographic area-code length. It reports none for a country whose plan
    has no trunk prefix (Tajikistan, +992), although its fixed-line numbers do begin with an
    area code: there the national destination code of a fixed-line number is the area code."""
    n = pn.length_of_geographical_area_code(num)
    if n:
        return n
    meta = pn.PhoneMetadata.metadata_for_region(pn.region_code_for_number(num))
    if meta and not meta.national_prefix and pn.number_type(num) == pn.PhoneNumberType.FIXED_LINE:
        return pn.length_of_national_destination_code(num)
    return 0


def sample(cc, national, lengths):
    """A valid geographic number that begins with the national digits and its area-code
    length (one with an area code preferred), or None."""
    fallback = None
    for length in lengths:
        if length <= len(national):
            continue
        for filler in '2050':
            nsn = national + filler * (length - len(national))
            num = pn.parse('+%d%s' % (cc, nsn))
            if pn.is_valid_number(num) and pn.number_type(num) in GEO_TYPES:
                n = area_length(num)
                if n:
                    return nsn, n
                fallback = fallback or (nsn, 0)
    return fallback


def area_table(cc):
    lengths, _ = possible_lengths(cc)
    codes, samples = set(), []
    for key in sorted(GEOCODE_DATA):
        if not key.startswith(str(cc)):
            continue
        got = sample(cc, key[len(str(cc)):], lengths)
        if not got or got[1] == 0:
            continue
        nsn, n = got
        area = nsn[:n]
        if area.startswith('0') or len(area) > 8:
            continue
        codes.add(int(area))
        samples.append(nsn)
    return sorted(codes), samples


def table_area(table, nsn):
    """The area code the display format takes from a table (longest listed one)."""
    v = int(nsn[:8] or '0')
    while v and v not in table:
        v //= 10
    return str(v) if v else nsn[:1]


def prefix_rule(cc):
    """Minimal list of (national prefix, area-code length), longest prefix deciding."""
    lengths, _ = possible_lengths(cc)
    depth = RULE_DEPTH[cc]
    leaves = {}

    def walk(prefix):
        if len(prefix) == depth:
            got = sample(cc, prefix, lengths)
            leaves[prefix] = got[1] if got else None
            return
        for d in '0123456789':
            walk(prefix + d)
    for d in '123456789':
        walk(d)

    entries = []

    def collapse(prefix):
        """The one length of the whole subtree, or None when it is mixed (entries emitted)."""
        if len(prefix) == depth:
            return leaves[prefix], True
        kids = [collapse(prefix + d) for d in '0123456789']
        known = [v for v, uniform in kids if uniform and v is not None]
        if all(uniform for _, uniform in kids) and len(set(known)) <= 1:
            return (known[0] if known else None), True
        return None, False

    def emit(prefix, inherited):
        value, uniform = collapse(prefix)
        if uniform:
            if value is not None and value != inherited:
                entries.append((prefix, value))
            return
        # Mixed: this node takes its children's most common length, the rest are exceptions.
        counts = {}
        for d in '0123456789':
            v, u = collapse(prefix + d)
            if u and v is not None:
                counts[v] = counts.get(v, 0) + 1
        mine = max(counts, key=lambda k: (counts[k], -k)) if counts else inherited
        if mine != inherited:
            entries.append((prefix, mine))
        for d in '0123456789':
            emit(prefix + d, mine)
    for d in '123456789':
        emit(d, 0)
    return entries, leaves


def rule_length(entries, nsn):
    best, n = -1, 0
    for prefix, length in entries:
        if nsn.startswith(prefix) and len(prefix) > best:
            best, n = len(prefix), length
    return n


def main():
    out = [
        '// Generated by tools/make_area_codes.py from python3-phonenumbers %s (libphonenumber\'s' % pn.__version__,
        '// numbering-plan metadata and geocoding prefixes: the geographic area codes of fixed-line',
        '// numbers, without trunk prefix); do not edit.',
        '#include "plugin_support/NumberAreaData.h"',
        '',
    ]
    vectors = []
    tables = [(53, CUBA)]
    for cc in TABLE_COUNTRIES:
        codes, samples = area_table(cc)
        tables.append((cc, codes))
        for nsn in samples[::max(1, len(samples) // 12)]:
            vectors.append(('+%d%s' % (cc, nsn), cc, table_area(set(codes), nsn), nsn))
    for cc, codes in sorted(tables):
        out.append('static DWORD s_area%d[] = {' % cc)
        for i in range(0, len(codes), 12):
            out.append('    ' + ', '.join(str(c) for c in codes[i:i + 12]) + ',')
        out.append('    0,')
        out.append('};')
    out.append('')
    out.append('AreaCodeList g_areaCodeLists[] = {')
    for cc, codes in sorted(tables):
        out.append('    {%d, s_area%d, 0},' % (cc, cc))
    out.append('};')
    out.append('const size_t g_areaCodeListCount = %d;' % len(tables))
    out.append('')
    for cc in sorted(RULE_DEPTH):
        entries, leaves = prefix_rule(cc)
        if cc == 49:
            # Mobile ranges: the three digits of the network.
            entries = [e for e in entries if not e[0].startswith('1')] + [('1', 3)]
        entries.sort()
        out.append('const AreaPrefixRule g_areaPrefixes%d[] = {' % cc)
        for i in range(0, len(entries), 6):
            out.append('    ' + ' '.join('{L"%s", %d},' % e for e in entries[i:i + 6]))
        out.append('};')
        out.append('const size_t g_areaPrefixCount%d = %d;' % (cc, len(entries)))
        out.append('')
        picked = [p for p in sorted(leaves) if leaves[p]][::97]
        lengths, _ = possible_lengths(cc)
        for p in picked:
            got = sample(cc, p, lengths)
            nsn, n = got
            assert rule_length(entries, nsn) == n or nsn.startswith('1'), (cc, nsn)
            vectors.append(('+%d%s' % (cc, nsn), cc, nsn[:n], nsn))
    open(os.path.join(HERE, '..', 'NumberAreaData.cpp'), 'w', newline='\n').write('\n'.join(out))

    vec = [
        '// Generated by tools/make_area_codes.py from python3-phonenumbers %s: numbers and the' % pn.__version__,
        '// display form libphonenumber\'s area code gives them; do not edit.',
        '#pragma once',
        '',
        '// Numbers where the longest listed area code and libphonenumber differ: %d, left out.',
        '',
        'struct DisplayVector {',
        '    const wchar_t* number;',
        '    const wchar_t* display;',
        '};',
        '',
        'static const DisplayVector kDisplayVectors[] = {',
    ]
    mismatches = 0
    for number, cc, area, nsn in vectors:
        num = pn.parse(number)
        expected = nsn[:area_length(num)] if not nsn.startswith('1') or cc != 49 else nsn[:3]
        if expected != area:
            mismatches += 1
            print('left out:', number, 'table gives', area, 'libphonenumber', expected)
            continue  # the display format's rule and libphonenumber differ here: not a vector
        display = '+%d (%s) %s' % (cc, area, nsn[len(area):])
        if len(display) <= 31:
            vec.append('    {L"%s", L"%s"},' % (number, display))
    vec += ['};', '']
    vec[4] = vec[4] % mismatches
    open(os.path.join(HERE, '..', 'tests', 'NumberDisplayVectors.h'), 'w', newline='\n').write('\n'.join(vec))
    print('vectors', len(vectors), 'mismatches', mismatches)


main()
