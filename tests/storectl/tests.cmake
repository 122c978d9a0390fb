# storectl once more, against the store whose waits give up after 300 ms, so a test can see it
# give up on a busy mailbox and lose a lock.
add_storectl(storectl-shortwait commn_short_wait)
add_dependencies(storectl_test storectl storectl-shortwait)
