package quorvel.example;

/** Lives in its own jar, so the example's class path has two entries to fetch. */
public final class Greeting {
    private Greeting() {
    }

    public static String forUser(String name) {
        return "Hello, " + name + ": started by the Quorvel launcher.";
    }
}
