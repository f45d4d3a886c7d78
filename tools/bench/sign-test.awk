# The sign test over the benchmark's rounds: A counts as faster (or slower) than B only
# when it was so in at least k of the n rounds where their times differ (equal times drop
# out of n), k being the least count that a fair coin reaches with a two-sided chance of
# 5 % or less: the smallest k with 2 P(X >= k) <= 0.05 for X ~ Binomial(n, 1/2).
# Usage: awk -v a="A's times" -v b="B's times" [-v than="B's name"] -f sign-test.awk
#   the times a round each, in the same order of rounds; prints faster, slower or same, a
#   tab, and the count with its verdict: "faster than B in 9 of 15 rounds: ...".
function threshold(n,    k, term, tail) {
    # From the top: P(X = n) = 2^-n, and P(X = k - 1) = P(X = k) k / (n - k + 1).
    term = 2 ^ -n
    for (k = n; k >= 0; k--) {
        tail += term
        if (2 * tail > 0.05) return k + 1
        term = term * k / (n - k + 1)
    }
}
BEGIN {
    rounds = split(a, time_a, " ")
    if (split(b, time_b, " ") != rounds) { print "sign-test.awk: A and B have other numbers of rounds" > "/dev/stderr"; exit 2 }
    for (i = 1; i <= rounds; i++) {
        if (time_a[i] + 0 < time_b[i] + 0) faster++
        else if (time_a[i] + 0 > time_b[i] + 0) slower++
    }
    n = faster + slower
    if (n == 0) { printf "same\tthe same time in all %d rounds\n", rounds; exit }
    way = faster >= slower ? "faster" : "slower"
    count = faster >= slower ? faster : slower
    k = threshold(n)
    said = sprintf("%s%s in %d of %d rounds", way, than == "" ? "" : " than " than, count, n)
    if (rounds > n) said = said sprintf(" (%d more with equal times)", rounds - n)
    if (k > n) printf "same\t%s: too few rounds to tell\n", said
    else if (count >= k) printf "%s\t%s: measurably %s (%d needed)\n", way, said, way, k
    else printf "same\t%s: no measurable difference (%d needed)\n", said, k
}
