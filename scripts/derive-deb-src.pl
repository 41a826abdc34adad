#!/usr/bin/perl
# Prints deb-src twins of the deb entries in apt source files, for
# `apt-get source`: the same URIs, suites, components and options (signing
# keys included), so that mirrors and proxies keep working and no archive
# address is written down anywhere else.
#
# Usage: derive-deb-src.pl list|sources FILE...
#   list:    the twins of one-line entries (.list files), as one-line entries
#   sources: the twins of deb822 stanzas (.sources files), as deb822 stanzas
# Every enabled deb entry is mirrored, except where enabled deb-src entries in
# FILE... already serve the same URI, suite and component (and cdrom: sources,
# which carry no source index). An entry is copied whole when none of it is
# served yet, and otherwise split into one entry per URI and suite holding the
# components still missing. The output depends only on the files, so writing it
# again changes nothing.
use strict;
use warnings;

my $form = shift // '';
die "usage: derive-deb-src.pl list|sources FILE...\n" unless $form eq 'list' || $form eq 'sources';

# Entries read: { form, types => [..], uris => [..], suites => [..], components => [..], ... }.
my @entries;
for my $file (@ARGV) {
    open(my $in, '<', $file) or die "derive-deb-src.pl: cannot read $file: $!\n";
    my @lines = <$in>;
    close($in);
    if ($file =~ /\.sources$/) {
        push @entries, read_deb822(@lines);
    } else {
        push @entries, read_one_line($_) for @lines;
    }
}

sub words { return grep { length } split /\s+/, $_[0] // '' }

# One-line form: TYPE [ OPTIONS ] URI SUITE [COMPONENT...], '#' starts a comment.
sub read_one_line {
    my ($line) = @_;
    $line =~ s/#.*//;
    return () unless $line =~ /^\s*(deb|deb-src)\s+(\[[^\]]*\]\s+)?(\S+)\s+(\S+)((?:\s+\S+)*)\s*$/;
    my ($type, $options, $uri, $suite, $components) = ($1, $2 // '', $3, $4, $5);
    return {
        form => 'list',
        types => [$type],
        options => $options,
        uris => [$uri],
        suites => [$suite],
        components => [words($components)],
    };
}

# deb822 form: stanzas of "Field: value" (continued on lines that start with
# white space), separated by empty lines; '#' lines are comments.
sub read_deb822 {
    my @stanzas;
    my @fields;
    my $flush = sub {
        push @stanzas, stanza_entry(@fields) if @fields;
        @fields = ();
    };
    for my $line (@_, "\n") {
        chomp(my $text = $line);
        if ($text =~ /^\s*$/) {
            $flush->();
        } elsif ($text =~ /^#/) {
            next;
        } elsif ($text =~ /^\s/ && @fields) {
            $fields[-1]{value} .= "\n$text";
        } elsif ($text =~ /^([^:\s]+):(.*)$/) {
            push @fields, { name => $1, value => $2 };
        } else {
            die "derive-deb-src.pl: cannot read the line '$text'\n";
        }
    }
    return @stanzas;
}

sub stanza_entry {
    my @fields = @_;
    my %by_name = map { lc($_->{name}) => $_->{value} } @fields;
    my $enabled = $by_name{enabled} // 'yes';
    $enabled =~ s/^\s+|\s+$//g;
    return () if lc($enabled) eq 'no';
    return {
        form => 'sources',
        types => [words($by_name{types})],
        uris => [words($by_name{uris})],
        suites => [words($by_name{suites})],
        components => [words($by_name{components})],
        # Everything else is copied as it is (Signed-By with an inline key too).
        others => [grep { lc($_->{name}) !~ /^(types|uris|suites|components|enabled)$/ } @fields],
    };
}

sub normal_uri { my ($uri) = @_; $uri =~ s{/+$}{}; return $uri }

# A flat repository (a suite ending in '/') has no components.
sub components_of {
    my ($entry, $suite) = @_;
    return $suite =~ m{/$} ? ('') : @{ $entry->{components} };
}

my %served;
for my $entry (grep { grep { $_ eq 'deb-src' } @{ $_->{types} } } @entries) {
    for my $uri (@{ $entry->{uris} }) {
        for my $suite (@{ $entry->{suites} }) {
            $served{ join ' ', normal_uri($uri), $suite, $_ } = 1 for components_of($entry, $suite);
        }
    }
}

# For each URI and suite of a deb entry, the components no deb-src serves yet
# (marking them served, so that no two twins serve the same).
sub missing_parts {
    my ($entry) = @_;
    my @parts;
    for my $uri (grep { !/^cdrom:/ } @{ $entry->{uris} }) {
        for my $suite (@{ $entry->{suites} }) {
            my @missing = grep { !$served{ join ' ', normal_uri($uri), $suite, $_ } } components_of($entry, $suite);
            $served{ join ' ', normal_uri($uri), $suite, $_ } = 1 for @missing;
            push @parts, { uri => $uri, suite => $suite, components => [grep { length } @missing] } if @missing;
        }
    }
    return @parts;
}

sub parts_count {
    my ($entry) = @_;
    my $count = 0;
    for my $suite (@{ $entry->{suites} }) {
        my @components = components_of($entry, $suite);
        $count += @components;
    }
    return $count * @{ $entry->{uris} };
}

sub print_twin {
    my ($entry, $uris, $suites, $components) = @_;
    if ($entry->{form} eq 'list') {
        print join(' ', 'deb-src', ($entry->{options} =~ /\S/ ? $entry->{options} =~ s/\s+$//r : ()), @$uris, @$suites,
                   @$components), "\n";
        return;
    }
    print "Types: deb-src\n";
    print "URIs: @$uris\n";
    print "Suites: @$suites\n";
    print "Components: @$components\n" if @$components;
    print "$_->{name}:$_->{value}\n" for @{ $entry->{others} };
    print "\n";
}

# Both forms are walked in file order, so that an entry of one form and its
# double in the other get one twin between them.
for my $entry (grep { grep { $_ eq 'deb' } @{ $_->{types} } } @entries) {
    my @parts = missing_parts($entry);
    next unless $entry->{form} eq $form;
    my $missing = 0;
    $missing += (@{ $_->{components} } || 1) for @parts;
    if (@parts && $missing == parts_count($entry)) {
        print_twin($entry, $entry->{uris}, $entry->{suites}, $entry->{components});
    } else {
        print_twin($entry, [$_->{uri}], [$_->{suite}], $_->{components}) for @parts;
    }
}
