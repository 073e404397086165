package util;

public class Greeting {
    public static String of(String who) {
        return "hello, " + who;
    }
}
